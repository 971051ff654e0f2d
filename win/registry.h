#pragma once
// Registry values and keys as the setup reads and writes them.
#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win {

// The REG_SZ value, or nothing when the key or the value is absent.
std::optional<std::string> ReadRegistryString(HKEY root, const char* key, const char* name, REGSAM view = 0);
// Every REG_SZ value of a key as name and text, in the key's order; empty
// when the key is absent.
std::vector<std::pair<std::string, std::string>> ReadRegistryStrings(HKEY root, const char* key, REGSAM view = 0);
// A REG_MULTI_SZ value; empty when absent.
std::vector<std::string> ReadRegistryMultiString(HKEY root, const char* key, const char* name, REGSAM view = 0);

// The key is created when missing; the system's error code, ERROR_SUCCESS when written.
LSTATUS WriteRegistryText(HKEY root, const char* key, const char* name, const std::string& value, REGSAM view = 0);
LSTATUS WriteRegistryMultiString(HKEY root, const char* key, const char* name, const std::vector<std::string>& values,
                                 REGSAM view = 0);
LSTATUS WriteRegistryDword(HKEY root, const char* key, const char* name, DWORD value, REGSAM view = 0);
// Absent already counts as deleted.
LSTATUS DeleteRegistryValue(HKEY root, const char* key, const char* name, REGSAM view = 0);
LSTATUS DeleteRegistryTree(HKEY root, const char* key, REGSAM view = 0);
bool RegistryKeyExists(HKEY root, const char* key, REGSAM view = 0);
// Deletes the key when it holds neither values nor subkeys; true when it is gone.
bool DeleteRegistryKeyIfEmpty(HKEY root, const char* key, REGSAM view = 0);

}  // namespace win
