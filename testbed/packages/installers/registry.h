#pragma once
// HKEY_LOCAL_MACHINE in the 64-bit view, the only place the fake installers
// read their scenario from and leave their traces in.
#include <windows.h>

#include <optional>
#include <string>

namespace fake {

// Each returns the Win32 error code (ERROR_SUCCESS when done); missing keys
// on the way are created.
LONG SetMachineString(const std::string& key, const std::string& name, const std::string& value);
LONG SetMachineDword(const std::string& key, const std::string& name, DWORD value);
// A value that is already gone counts as deleted.
LONG DeleteMachineValue(const std::string& key, const std::string& name);

// Nothing when the key or value is missing or is not of that type.
std::optional<std::string> GetMachineString(const std::string& key, const std::string& name);
std::optional<DWORD> GetMachineDword(const std::string& key, const std::string& name);

}  // namespace fake
