#include "win/registry.h"

#include "win/handles.h"

namespace win {

std::optional<std::string> ReadRegistryString(HKEY root, const char* key, const char* name, REGSAM view) {
    RegKey handle;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ | view, handle.Put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(handle.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    std::string value(size, '\0');
    if (::RegQueryValueExA(handle.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(size < value.size() ? size : value.size());
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

}  // namespace win
