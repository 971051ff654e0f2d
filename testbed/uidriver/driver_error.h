#pragma once
// What every driver operation throws when it cannot do what was asked: a
// window that is not there, a control that is hidden, a time-out. The text
// says what was attempted so a failing script or test explains itself.
#include <stdexcept>
#include <string>

namespace uidriver {

class DriverError : public std::runtime_error {
public:
    explicit DriverError(const std::string& what) : std::runtime_error(what) {}
};

// A command line the driver does not understand.
class UsageError : public DriverError {
public:
    explicit UsageError(const std::string& what) : DriverError(what) {}
};

}  // namespace uidriver
