#pragma once
// Reading a string value of the registry, whatever its length.
#include <windows.h>

#include <optional>
#include <string>

namespace win {

// The REG_SZ value, or nothing when the key or the value is absent.
std::optional<std::string> ReadRegistryString(HKEY root, const char* key, const char* name, REGSAM view = 0);

}  // namespace win
