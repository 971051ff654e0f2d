#include "support/registry.h"

void SetRegistryString(HKEY root, const std::string& key, const std::string& name, const std::string& value,
                       REGSAM view) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &handle, nullptr)) return;
    ::RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(handle);
}

void SetRegistryDword(HKEY root, const std::string& key, const std::string& name, DWORD value, REGSAM view) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &handle, nullptr)) return;
    ::RegSetValueExA(handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(handle);
}

void SetRegistryQword(HKEY root, const std::string& key, const std::string& name, std::uint64_t value, REGSAM view) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &handle, nullptr)) return;
    ::RegSetValueExA(handle, name.c_str(), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(handle);
}

std::optional<std::uint64_t> RegistryQword(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
    std::uint64_t value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueA(root, key.c_str(), name.c_str(),
                       RRF_RT_REG_QWORD | (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY),
                       nullptr, &value, &size)) {
        return std::nullopt;
    }
    return value;
}

void CreateRegistryKey(HKEY root, const std::string& key, REGSAM view) {
    HKEY handle = nullptr;
    if (!::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &handle, nullptr)) {
        ::RegCloseKey(handle);
    }
}

void DeleteRegistryTree(HKEY root, const std::string& key, REGSAM view) {
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS | view, &handle)) return;
    ::RegDeleteTreeA(handle, nullptr);
    ::RegCloseKey(handle);
    ::RegDeleteKeyExA(root, key.c_str(), view, 0);
}

std::string RegistryString(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    if (::RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ | (view == KEY_WOW64_32KEY ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY),
                       nullptr, value, &size)) {
        return "<absent>";
    }
    return value;
}

RegistryCleanup::RegistryCleanup(HKEY root, std::vector<std::string> keys, REGSAM view)
    : root_(root), keys_(std::move(keys)), view_(view) {
    for (const std::string& key : keys_) DeleteRegistryTree(root_, key, view_);
}

RegistryCleanup::~RegistryCleanup() {
    for (const std::string& key : keys_) DeleteRegistryTree(root_, key, view_);
}
