#include "call_record.h"

#include <cstdio>

#include "win/handles.h"

namespace dism {
namespace {

// Text arguments as given; no argument is "(null)". Control characters would
// break the one-line format, so they show as "?".
std::wstring Text(PCWSTR s) {
    if (!s) return L"(null)";
    std::wstring out(s);
    for (wchar_t& c : out) {
        if (c < L' ') c = L'?';
    }
    return out;
}

std::wstring Pointer(const void* p) { return p ? L"set" : L"(null)"; }

std::wstring Result(HRESULT hr) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                  nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

}  // namespace

std::wstring InitializeRecord(int level, PCWSTR logPath, PCWSTR scratch, HRESULT result) {
    return L"DismInitialize level=" + std::to_wstring(level) + L" log=" + Text(logPath) + L" scratch=" +
           Text(scratch) + L" -> " + Result(result);
}

std::wstring OpenSessionRecord(PCWSTR image, PCWSTR windowsDirectory, PCWSTR systemDrive, HRESULT result,
                               UINT session) {
    std::wstring line = L"DismOpenSession image=" + Text(image) + L" windir=" + Text(windowsDirectory) +
                        L" drive=" + Text(systemDrive) + L" -> " + Result(result);
    if (SUCCEEDED(result)) line += L" session=" + std::to_wstring(session);
    return line;
}

std::wstring EnableFeatureRecord(const EnableFeatureCall& call, HRESULT result) {
    return L"DismEnableFeature session=" + std::to_wstring(call.session) + L" feature=" + Text(call.featureName) +
           L" identifier=" + Text(call.identifier) + L" package=" + std::to_wstring(call.packageIdentifier) +
           L" limitAccess=" + std::to_wstring(call.limitAccess) + L" sources=" +
           std::to_wstring(call.sourcePathCount) + L" enableAll=" + std::to_wstring(call.enableAll) +
           L" cancel=" + Pointer(call.cancelEvent) + L" progress=" + (call.hasProgress ? L"set" : L"(null)") +
           L" userData=" + Pointer(call.userData) + L" -> " + Result(result);
}

std::wstring CloseSessionRecord(UINT session, HRESULT result) {
    return L"DismCloseSession session=" + std::to_wstring(session) + L" -> " + Result(result);
}

std::wstring GetFeatureInfoRecord(UINT session, PCWSTR featureName, PCWSTR identifier, int packageIdentifier,
                                  bool hasFeatureInfo, HRESULT result, int state) {
    std::wstring line = L"DismGetFeatureInfo session=" + std::to_wstring(session) + L" feature=" + Text(featureName) +
                        L" identifier=" + Text(identifier) + L" package=" + std::to_wstring(packageIdentifier) +
                        L" featureInfo=" + (hasFeatureInfo ? L"set" : L"(null)") + L" -> " + Result(result);
    if (SUCCEEDED(result)) line += L" state=" + std::to_wstring(state);
    return line;
}

std::wstring GetLastErrorMessageRecord(bool hasErrorMessage, HRESULT result, std::optional<HRESULT> failure) {
    std::wstring line = std::wstring(L"DismGetLastErrorMessage errorMessage=") +
                        (hasErrorMessage ? L"set" : L"(null)") + L" -> " + Result(result);
    if (failure) line += L" for=" + Result(*failure);
    return line;
}

std::wstring DeleteRecord(const void* structure, std::wstring_view type, HRESULT result) {
    std::wstring what = structure ? (type.empty() ? std::wstring(L"unknown") : std::wstring(type)) : L"(null)";
    return L"DismDelete structure=" + what + L" -> " + Result(result);
}

std::wstring ShutdownRecord(HRESULT result) { return L"DismShutdown -> " + Result(result); }

void AppendRecord(std::wstring_view line) {
    ::CreateDirectoryW(std::wstring(kRecordFolder).c_str(), nullptr);
    win::FileHandle file(::CreateFileW(std::wstring(kRecordFile).c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string bytes = Utf8(line) + "\r\n";
    DWORD written = 0;
    ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace dism
