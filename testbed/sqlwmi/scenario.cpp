#include "scenario.h"

#include <windows.h>

#include <optional>
#include <string>

#include "win/handles.h"

namespace sqlwmi {
namespace {

constexpr std::wstring_view kScenarioRoot = L"SOFTWARE\\CorvantaTestbed\\SqlWmi\\";
constexpr wchar_t kTimeoutsValue[] = L"TimeoutsBeforeFirstObject";
constexpr wchar_t kWaitValue[] = L"TimeoutWaitMs";

win::RegKey OpenKey(HKEY parent, const std::wstring& path) {
    win::RegKey key;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS)
        key.Reset();
    return key;
}

win::RegKey OpenNamespace(std::wstring_view key) {
    return OpenKey(HKEY_LOCAL_MACHINE, std::wstring(kScenarioRoot) + std::wstring(key));
}

// Longest names reported by the key, plus the terminating NUL.
struct KeySizes {
    DWORD subkeyChars = 0;
    DWORD valueNameChars = 0;
    DWORD valueBytes = 0;
};

bool QuerySizes(HKEY key, KeySizes& sizes) {
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &sizes.subkeyChars, nullptr, nullptr,
                           &sizes.valueNameChars, &sizes.valueBytes, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    ++sizes.subkeyChars;
    ++sizes.valueNameChars;
    return true;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    KeySizes sizes;
    if (!QuerySizes(key, sizes)) return names;
    std::wstring name(sizes.subkeyChars, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD chars = static_cast<DWORD>(name.size());
        const LSTATUS status = ::RegEnumKeyExW(key, i, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {  // a key added since the size query
            name.resize(name.size() * 2);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), chars);
    }
    return names;
}

// The REG_SZ values of a service key; values of other types are not properties.
std::vector<ServiceProperty> TextValues(HKEY key) {
    std::vector<ServiceProperty> values;
    KeySizes sizes;
    if (!QuerySizes(key, sizes)) return values;
    std::wstring name(sizes.valueNameChars, L'\0');
    std::wstring data(sizes.valueBytes / sizeof(wchar_t) + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD chars = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status = ::RegEnumValueW(key, i, name.data(), &chars, nullptr, &type,
                                               reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_MORE_DATA) {  // a value changed since the size query
            name.resize(name.size() * 2);
            data.resize(data.size() * 2);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        std::wstring value(data.data(), bytes / sizeof(wchar_t));
        // Stored data need not end with its NUL; the text ends at the first one.
        value.resize(std::wstring_view(value.c_str()).size());
        values.push_back({std::wstring(name.data(), chars), std::move(value)});
    }
    return values;
}

std::optional<DWORD> DwordValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof data;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof data)
        return std::nullopt;
    return data;
}

}  // namespace

bool NamespaceExists(std::wstring_view key) {
    return OpenNamespace(key).Valid();
}

std::vector<ServiceData> ReadServices(std::wstring_view key) {
    std::vector<ServiceData> services;
    const win::RegKey root = OpenNamespace(key);
    if (!root) return services;
    for (std::wstring& name : SubkeyNames(root.Get())) {
        const win::RegKey service = OpenKey(root.Get(), name);
        if (!service) continue;
        services.push_back({std::move(name), TextValues(service.Get())});
    }
    return services;
}

Slowness ReadSlowness(std::wstring_view key) {
    Slowness slowness;
    const win::RegKey root = OpenNamespace(key);
    if (!root) return slowness;
    slowness.timeoutsBeforeFirstObject = DwordValue(root.Get(), kTimeoutsValue).value_or(0);
    slowness.waitMs = DwordValue(root.Get(), kWaitValue);
    return slowness;
}

}  // namespace sqlwmi
