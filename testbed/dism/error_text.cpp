#include "error_text.h"

#include <cstdio>

#include "dism_results.h"
#include "win/handles.h"

namespace dism {
namespace {

struct KnownText {
    HRESULT code;
    std::wstring_view text;
};

// The two source texts are what DISM prints for these codes; the others say
// what the code means, in DISM's manner. README.md names the sources.
constexpr KnownText kKnownTexts[] = {
    {kSourceMissing,
     L"The source files could not be found. Use the \"Source\" option to specify the location of the files that "
     L"are required to restore the feature. For more information on specifying a source location, see "
     L"https://go.microsoft.com/fwlink/?LinkId=243077."},
    {kDownloadFailure,
     L"The source files could not be downloaded. Use the \"source\" option to specify the location of the files "
     L"that are required to restore the feature. For more information on specifying a source location, see "
     L"https://go.microsoft.com/fwlink/?LinkId=243077."},
    {kGroupPolicyDisallowed,
     L"Because of network policy settings, Windows couldn't connect to the Internet to download files that are "
     L"required to complete the requested changes. Contact your network administrator for more information."},
    {kWsusUpdateMissing,
     L"DISM failed. No operation was performed. The files of the feature could not be downloaded: Windows Update, "
     L"or the WSUS server this computer is set to use, did not offer them."},
    {kUnknownFeature, L"A Windows feature name was not recognized."},
    {kParentFeatureDisabled, L"One or several parent features are disabled so current feature can not be enabled."},
    {kNotInitialized, L"The DISM API is not initialized. DismInitialize must be called first."},
    {kInvalidSession, L"The DISM session is not valid; it was never opened or is already closed."},
};

std::wstring SystemText(HRESULT code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    win::LocalMemory owner(buffer);
    std::wstring text;
    if (n && buffer) text.assign(buffer, n);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

}  // namespace

std::optional<std::wstring_view> DismErrorText(HRESULT code) {
    for (const KnownText& known : kKnownTexts) {
        if (known.code == code) return known.text;
    }
    return std::nullopt;
}

std::wstring ErrorText(HRESULT code) {
    if (std::optional<std::wstring_view> known = DismErrorText(code)) return std::wstring(*known);
    std::wstring text = SystemText(code);
    if (!text.empty()) return text;
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"The operation failed with error 0x%08lX.", static_cast<unsigned long>(code));
    return buffer;
}

}  // namespace dism
