#include "tests/scenario_keys.h"

#include <gtest/gtest.h>

#include "win/handles.h"

namespace sqlwmi::test {
namespace {

constexpr wchar_t kParent[] = L"SOFTWARE\\CorvantaTestbed";
constexpr wchar_t kScenario[] = L"SOFTWARE\\CorvantaTestbed\\SqlWmi";
constexpr wchar_t kSetAside[] = L"SOFTWARE\\CorvantaTestbed\\SqlWmi.SetAsideByTests";
constexpr wchar_t kRecord[] = L"C:\\CorvantaTestbed\\sqlwmi.log";
constexpr REGSAM kView = KEY_WOW64_64KEY;

bool KeyExists(const wchar_t* path) {
    win::RegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | kView, key.Put()) == ERROR_SUCCESS;
}

win::RegKey CreateKey(const std::wstring& path) {
    win::RegKey key;
    const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE | kView, nullptr, key.Put(), nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "creating HKLM\\" << std::string(path.begin(), path.end());
    return key;
}

void DeleteTree(const wchar_t* path) {
    win::RegKey parent;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParent, 0, KEY_ALL_ACCESS | kView, parent.Put()) != ERROR_SUCCESS)
        return;
    const std::wstring_view child = std::wstring_view(path).substr(std::wstring_view(kParent).size() + 1);
    const std::wstring name(child);
    const LSTATUS status = ::RegDeleteTreeW(parent.Get(), name.c_str());
    if (status != ERROR_FILE_NOT_FOUND) {
        ASSERT_EQ(status, ERROR_SUCCESS);
    }
}

void CopyTree(const wchar_t* from, const wchar_t* to) {
    win::RegKey source;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, from, 0, KEY_READ | kView, source.Put()), ERROR_SUCCESS);
    const win::RegKey target = CreateKey(to);
    ASSERT_EQ(::RegCopyTreeW(source.Get(), nullptr, target.Get()), ERROR_SUCCESS);
}

std::wstring ServicePath(const std::wstring& key, const std::wstring& service) {
    return std::wstring(kScenario) + L"\\" + key + L"\\" + service;
}

}  // namespace

void SetAsideMachineScenario() {
    // A set-aside copy left by an interrupted run is the machine's scenario.
    if (KeyExists(kSetAside)) {
        DeleteTree(kScenario);
        return;
    }
    if (!KeyExists(kScenario)) return;
    CopyTree(kScenario, kSetAside);
    DeleteTree(kScenario);
}

void RestoreMachineScenario() {
    DeleteTree(kScenario);
    if (!KeyExists(kSetAside)) return;
    CopyTree(kSetAside, kScenario);
    DeleteTree(kSetAside);
}

void ClearScenario() { DeleteTree(kScenario); }

void AddNamespace(const std::wstring& key) { CreateKey(std::wstring(kScenario) + L"\\" + key); }

void RemoveNamespace(const std::wstring& key) {
    const std::wstring path = std::wstring(kScenario) + L"\\" + key;
    DeleteTree(path.c_str());
}

void SetServiceValue(const std::wstring& key, const std::wstring& service, const std::wstring& name,
                     const std::wstring& value) {
    const win::RegKey k = CreateKey(ServicePath(key, service));
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    ASSERT_EQ(::RegSetValueExW(k.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
              ERROR_SUCCESS);
}

void SetNamespaceNumber(const std::wstring& key, const std::wstring& name, DWORD value) {
    const win::RegKey k = CreateKey(std::wstring(kScenario) + L"\\" + key);
    ASSERT_EQ(
        ::RegSetValueExW(k.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
        ERROR_SUCCESS);
}

void AddService(const std::wstring& key, const std::wstring& service, const std::wstring& instanceId,
                const wchar_t* version) {
    SetServiceValue(key, service, L"instanceID", instanceId);
    if (version) SetServiceValue(key, service, L"Version", version);
}

size_t RecordSize() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(kRecord, GetFileExInfoStandard, &data)) return 0;
    return static_cast<size_t>(data.nFileSizeLow);
}

std::string RecordFrom(size_t offset) {
    win::FileHandle file(::CreateFileW(kRecord, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(offset);
    ::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN);
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
    return text;
}

}  // namespace sqlwmi::test
