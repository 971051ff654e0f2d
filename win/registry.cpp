#include "win/registry.h"

#include "win/handles.h"

namespace win {

namespace {

bool Gone(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

std::string TextOf(const std::vector<char>& data, DWORD size) {
    std::string value(data.data(), size < data.size() ? size : data.size());
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

}  // namespace

std::optional<std::string> ReadRegistryString(HKEY root, const char* key, const char* name, REGSAM view) {
    RegKey handle;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ | view, handle.Put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(handle.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    std::vector<char> data(size + 1, '\0');
    if (::RegQueryValueExA(handle.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return TextOf(data, size);
}

std::vector<std::pair<std::string, std::string>> ReadRegistryStrings(HKEY root, const char* key, REGSAM view) {
    std::vector<std::pair<std::string, std::string>> values;
    RegKey handle;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ | view, handle.Put()) != ERROR_SUCCESS) return values;
    DWORD count = 0, longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyA(handle.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                           &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return values;
    }
    for (DWORD i = 0; i < count; ++i) {
        std::vector<char> name(longestName + 2, '\0');
        std::vector<char> data(longestData + 2, '\0');
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueA(handle.Get(), i, name.data(), &nameSize, nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &dataSize) != ERROR_SUCCESS ||
            type != REG_SZ) {
            continue;
        }
        values.emplace_back(std::string(name.data(), nameSize), TextOf(data, dataSize));
    }
    return values;
}

std::vector<std::string> ReadRegistryMultiString(HKEY root, const char* key, const char* name, REGSAM view) {
    std::vector<std::string> out;
    RegKey handle;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ | view, handle.Put()) != ERROR_SUCCESS) return out;
    DWORD type = 0, size = 0;
    if (::RegQueryValueExA(handle.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ) {
        return out;
    }
    std::vector<char> data(size + 2, '\0');
    if (::RegQueryValueExA(handle.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS) {
        return out;
    }
    // Empty items are passed over, not taken for the end: the list of
    // deletions at restart holds one after each path.
    for (size_t at = 0; at < size;) {
        const std::string item(data.data() + at);
        if (!item.empty()) out.push_back(item);
        at += item.size() + 1;
    }
    return out;
}

LSTATUS WriteRegistryText(HKEY root, const char* key, const char* name, const std::string& value, REGSAM view) {
    RegKey handle;
    LSTATUS status = ::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, handle.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return ::RegSetValueExA(handle.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

LSTATUS WriteRegistryMultiString(HKEY root, const char* key, const char* name, const std::vector<std::string>& values,
                                 REGSAM view) {
    std::string data;
    for (const std::string& value : values) {
        if (value.empty()) continue;  // an empty text would end the list
        data += value;
        data += '\0';
    }
    data += '\0';
    RegKey handle;
    LSTATUS status = ::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, handle.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return ::RegSetValueExA(handle.Get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                            static_cast<DWORD>(data.size()));
}

LSTATUS WriteRegistryDword(HKEY root, const char* key, const char* name, DWORD value, REGSAM view) {
    RegKey handle;
    LSTATUS status = ::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE | view, nullptr, handle.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return ::RegSetValueExA(handle.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LSTATUS DeleteRegistryValue(HKEY root, const char* key, const char* name, REGSAM view) {
    RegKey handle;
    LSTATUS status = ::RegOpenKeyExA(root, key, 0, KEY_SET_VALUE | view, handle.Put());
    if (Gone(status)) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    status = ::RegDeleteValueA(handle.Get(), name);
    return Gone(status) ? ERROR_SUCCESS : status;
}

LSTATUS DeleteRegistryTree(HKEY root, const char* key, REGSAM view) {
    RegKey handle;
    LSTATUS status = ::RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS | view, handle.Put());
    if (Gone(status)) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    status = ::RegDeleteTreeA(handle.Get(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    handle.Reset();
    status = ::RegDeleteKeyExA(root, key, view, 0);
    return Gone(status) ? ERROR_SUCCESS : status;
}

bool RegistryKeyExists(HKEY root, const char* key, REGSAM view) {
    RegKey handle;
    return ::RegOpenKeyExA(root, key, 0, KEY_READ | view, handle.Put()) == ERROR_SUCCESS;
}

bool DeleteRegistryKeyIfEmpty(HKEY root, const char* key, REGSAM view) {
    {
        RegKey handle;
        const LSTATUS status = ::RegOpenKeyExA(root, key, 0, KEY_READ | view, handle.Put());
        if (Gone(status)) return true;
        if (status != ERROR_SUCCESS) return false;
        DWORD subkeys = 0, values = 0;
        if (::RegQueryInfoKeyA(handle.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0) {
            return false;
        }
    }
    const LSTATUS status = ::RegDeleteKeyExA(root, key, view, 0);
    return status == ERROR_SUCCESS || Gone(status);
}

}  // namespace win
