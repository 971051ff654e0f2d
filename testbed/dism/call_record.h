#pragma once
// The record of every DISM call, one line each, in
// C:\CorvantaTestbed\dism-calls.log (UTF-8, CRLF). Tests and scenarios read
// it to see what the setup asked for; the formats are in README.md.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace dism {

inline constexpr std::wstring_view kRecordFolder = L"C:\\CorvantaTestbed";
inline constexpr std::wstring_view kRecordFile = L"C:\\CorvantaTestbed\\dism-calls.log";

std::wstring InitializeRecord(int level, PCWSTR logPath, PCWSTR scratch, HRESULT result);
// `session` is written only when the call succeeded.
std::wstring OpenSessionRecord(PCWSTR image, PCWSTR windowsDirectory, PCWSTR systemDrive, HRESULT result,
                               UINT session);

struct EnableFeatureCall {
    UINT session = 0;
    PCWSTR featureName = nullptr;
    PCWSTR identifier = nullptr;
    int packageIdentifier = 0;
    BOOL limitAccess = FALSE;
    UINT sourcePathCount = 0;
    BOOL enableAll = FALSE;
    HANDLE cancelEvent = nullptr;
    bool hasProgress = false;
    PVOID userData = nullptr;
};
std::wstring EnableFeatureRecord(const EnableFeatureCall& call, HRESULT result);
std::wstring CloseSessionRecord(UINT session, HRESULT result);
// `state` is written only when the call succeeded.
std::wstring GetFeatureInfoRecord(UINT session, PCWSTR featureName, PCWSTR identifier, int packageIdentifier,
                                  bool hasFeatureInfo, HRESULT result, int state);
// `failure` is the result whose text was handed out, when one was.
std::wstring GetLastErrorMessageRecord(bool hasErrorMessage, HRESULT result, std::optional<HRESULT> failure);
// `type` names what was freed; empty for a pointer the library did not hand out.
std::wstring DeleteRecord(const void* structure, std::wstring_view type, HRESULT result);
std::wstring ShutdownRecord(HRESULT result);

// Appends the line and its CRLF in one write, creating the folder and file
// when needed. A record that cannot be written is lost; the call goes on.
void AppendRecord(std::wstring_view line);

}  // namespace dism
