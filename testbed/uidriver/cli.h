#pragma once
// The commands of CorvantaUiDriver.exe: one per invocation, plain text on
// standard output, 0 on success, 1 on failure or time-out, 2 on a wrong call.
#include <windows.h>

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace uidriver {

constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

struct Invocation {
    DWORD processId = 0;  // --pid: dialogs and boxes of this process only
    std::string command;
    std::vector<std::string> arguments;
};

// The words after the program name; a wrong call is a UsageError.
Invocation ParseInvocation(const std::vector<std::string>& words);
// A decimal number of at most 32 bits; anything else is a UsageError naming what.
DWORD ParseNumber(std::string_view text, const char* what);
// Line breaks and tabs as \r, \n and \t, so a box fits on one output line.
std::string OneLine(std::string_view text);
std::string UsageText();

// Runs one command; the driver's own path is needed to start a watcher.
int RunCommand(const Invocation& invocation, const std::string& driverPath, std::ostream& out, std::ostream& err);
// Parses and runs, reporting every failure on err with its exit code.
int RunDriver(const std::vector<std::string>& words, const std::string& driverPath, std::ostream& out,
              std::ostream& err);

}  // namespace uidriver
