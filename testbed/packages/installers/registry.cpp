#include "registry.h"

#include "win/handles.h"

namespace fake {

namespace {

LONG CreateKey(const std::string& key, win::RegKey& out) {
    return ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, out.Put(), nullptr);
}

}  // namespace

LONG SetMachineString(const std::string& key, const std::string& name, const std::string& value) {
    win::RegKey handle;
    LONG error = CreateKey(key, handle);
    if (error != ERROR_SUCCESS) return error;
    return ::RegSetValueExA(handle.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

LONG SetMachineDword(const std::string& key, const std::string& name, DWORD value) {
    win::RegKey handle;
    LONG error = CreateKey(key, handle);
    if (error != ERROR_SUCCESS) return error;
    return ::RegSetValueExA(handle.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value);
}

LONG DeleteMachineValue(const std::string& key, const std::string& name) {
    win::RegKey handle;
    LONG error = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, handle.Put());
    if (error == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (error != ERROR_SUCCESS) return error;
    error = ::RegDeleteValueA(handle.Get(), name.c_str());
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

std::optional<std::string> GetMachineString(const std::string& key, const std::string& name) {
    for (int attempt = 0; attempt < 4; ++attempt) {  // the value may grow between the two calls
        DWORD size = 0;
        LONG error = ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(),
                                    RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, nullptr, &size);
        if (error != ERROR_SUCCESS) return std::nullopt;
        std::string value(size, '\0');
        error = ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                               nullptr, value.data(), &size);
        if (error == ERROR_MORE_DATA) continue;
        if (error != ERROR_SUCCESS) return std::nullopt;
        value.resize(size);
        while (!value.empty() && value.back() == '\0') value.pop_back();
        return value;
    }
    return std::nullopt;
}

std::optional<DWORD> GetMachineDword(const std::string& key, const std::string& name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG error = ::RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(),
                                RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &value, &size);
    if (error != ERROR_SUCCESS) return std::nullopt;
    return value;
}

}  // namespace fake
