#pragma once
// Registry keys a test sets up in the test machine and removes again.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

void SetRegistryString(HKEY root, const std::string& key, const std::string& name, const std::string& value,
                       REGSAM view = KEY_WOW64_64KEY);
void SetRegistryDword(HKEY root, const std::string& key, const std::string& name, DWORD value,
                      REGSAM view = KEY_WOW64_64KEY);
void SetRegistryQword(HKEY root, const std::string& key, const std::string& name, std::uint64_t value,
                      REGSAM view = KEY_WOW64_64KEY);
std::optional<std::uint64_t> RegistryQword(HKEY root, const std::string& key, const std::string& name,
                                           REGSAM view = KEY_WOW64_64KEY);
void CreateRegistryKey(HKEY root, const std::string& key, REGSAM view = KEY_WOW64_64KEY);
void DeleteRegistryTree(HKEY root, const std::string& key, REGSAM view = KEY_WOW64_64KEY);
// The string value, or "<absent>".
std::string RegistryString(HKEY root, const std::string& key, const std::string& name, REGSAM view = KEY_WOW64_64KEY);

// Removes the keys it was given when it goes out of scope.
class RegistryCleanup {
public:
    RegistryCleanup(HKEY root, std::vector<std::string> keys, REGSAM view = KEY_WOW64_64KEY);
    ~RegistryCleanup();
    RegistryCleanup(const RegistryCleanup&) = delete;
    RegistryCleanup& operator=(const RegistryCleanup&) = delete;

private:
    HKEY root_;
    std::vector<std::string> keys_;
    REGSAM view_;
};
