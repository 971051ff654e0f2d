#include "dism_test_support.h"

#include "call_record.h"
#include "scenario.h"

namespace dism_test {

namespace {

// GetProcAddress's FARPROC is cast through the generic function pointer type,
// the one conversion GCC accepts without a cast-function-type warning.
template <typename Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

DismApi DismApi::Load() {
    DismApi api;
    api.module.Reset(::LoadLibraryExW(L"DismApi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!api.module) return api;
    HMODULE m = api.module.Get();
    api.initialize = Export<decltype(&DismInitialize)>(m, "DismInitialize");
    api.openSession = Export<decltype(&DismOpenSession)>(m, "DismOpenSession");
    api.enableFeature = Export<decltype(&DismEnableFeature)>(m, "DismEnableFeature");
    api.closeSession = Export<decltype(&DismCloseSession)>(m, "DismCloseSession");
    api.shutdown = Export<decltype(&DismShutdown)>(m, "DismShutdown");
    api.getFeatureInfo = Export<decltype(&DismGetFeatureInfo)>(m, "DismGetFeatureInfo");
    api.getLastErrorMessage = Export<decltype(&DismGetLastErrorMessage)>(m, "DismGetLastErrorMessage");
    api.deleteStructure = Export<decltype(&DismDelete)>(m, "DismDelete");
    return api;
}

bool DismApi::Complete() const {
    return module && initialize && openSession && enableFeature && closeSession && shutdown && getFeatureInfo &&
           getLastErrorMessage && deleteStructure;
}

std::wstring DismApi::ModulePath() const {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(module.Get(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void ResetScenario() {
    win::RegKey parent;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\CorvantaTestbed", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        parent.Put()) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(parent.Get(), L"Dism");
    }
    ::DeleteFileW(std::wstring(dism::kRecordFile).c_str());
}

namespace {

win::RegKey CreateKey(const wchar_t* path) {
    win::RegKey key;
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                      key.Put(), nullptr);
    return key;
}

}  // namespace

void SetScenarioDword(const wchar_t* name, DWORD value) {
    win::RegKey key = CreateKey(dism::kScenarioKey);
    ::RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void SetScenarioText(const wchar_t* name, const wchar_t* text) {
    win::RegKey key = CreateKey(dism::kScenarioKey);
    ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
}

void SetFeatureValue(const wchar_t* feature, DWORD value) {
    win::RegKey key = CreateKey(dism::kFeaturesKey);
    ::RegSetValueExW(key.Get(), feature, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

std::map<std::wstring, DWORD> FeatureValues() {
    std::map<std::wstring, DWORD> values;
    win::RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, dism::kFeaturesKey, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) !=
        ERROR_SUCCESS) {
        return values;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof(value);
        if (::RegEnumValueW(key.Get(), index, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                            &size) != ERROR_SUCCESS) {
            break;
        }
        values[std::wstring(name, length)] = type == REG_DWORD ? value : 0xFFFFFFFF;
    }
    return values;
}

std::vector<std::string> RecordLines() {
    std::vector<std::string> lines;
    win::FileHandle file(::CreateFileW(std::wstring(dism::kRecordFile).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lines;
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) content.append(buffer, read);
    size_t start = 0;
    for (size_t end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(content.substr(start, end - start));
    }
    if (start < content.size()) lines.push_back(content.substr(start) + "<no CRLF>");
    return lines;
}

void CALLBACK CollectProgress(UINT current, UINT total, PVOID userData) {
    static_cast<std::vector<ProgressReport>*>(userData)->push_back({current, total, ::GetCurrentThreadId()});
}

void CALLBACK IgnoreProgress(UINT, UINT, PVOID) {}

}  // namespace dism_test
