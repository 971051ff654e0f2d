#include "scenario.h"

#include "win/handles.h"

namespace dism {
namespace {

win::RegKey OpenKey(const wchar_t* path) {
    win::RegKey key;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, key.Put());
    return key;
}

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<HRESULT> FailureSwitch(const wchar_t* name) {
    win::RegKey key = OpenKey(kScenarioKey);
    if (!key) return std::nullopt;
    std::optional<DWORD> value = ReadDword(key.Get(), name);
    if (!value || *value == 0) return std::nullopt;
    return static_cast<HRESULT>(*value);
}

bool ScenarioFlag(const wchar_t* name) {
    win::RegKey key = OpenKey(kScenarioKey);
    if (!key) return false;
    std::optional<DWORD> value = ReadDword(key.Get(), name);
    return value && *value != 0;
}

std::optional<std::wstring> ScenarioText(const wchar_t* name) {
    win::RegKey key = OpenKey(kScenarioKey);
    if (!key) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

std::set<std::wstring> EnabledFeatures() {
    std::set<std::wstring> names;
    win::RegKey key = OpenKey(kFeaturesKey);
    if (!key) return names;
    DWORD longest = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::wstring name(static_cast<size_t>(longest) + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof(value);
        LONG rc = ::RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, &type,
                                  reinterpret_cast<BYTE*>(&value), &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;  // e.g. a value too big to be a DWORD
        if (type == REG_DWORD && size == sizeof(value) && value == 1) names.emplace(name.data(), length);
    }
    return names;
}

HRESULT RecordEnabled(const std::vector<std::wstring>& names) {
    win::RegKey key;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kFeaturesKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                                nullptr, key.Put(), nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    const DWORD one = 1;
    for (const std::wstring& name : names) {
        rc = ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                              sizeof(one));
        if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
    return S_OK;
}

}  // namespace dism
