#include "prereq/dism_results.h"

#include "win/text.h"

namespace {

// The component store's answers when a feature's payload is neither on the
// machine nor to be had from Windows Update or WSUS: a Windows Server
// installed without its installation media answers so for .NET 3.5.
constexpr HRESULT SOURCE_MISSING_RESULTS[] = {
    static_cast<HRESULT>(0x800F081FL),  // CBS_E_SOURCE_MISSING
    static_cast<HRESULT>(0x800F0906L),  // CBS_E_DOWNLOAD_FAILURE
    static_cast<HRESULT>(0x800F0907L),  // CBS_E_GROUPPOLICY_DISALLOWED
    static_cast<HRESULT>(0x800F0954L),  // CBS_E_INVALID_WINDOWS_UPDATE_COUNT_WSUS
};

bool IsBlankCharacter(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

DismAnswer ClassifyEnableResult(HRESULT hr) {
    if (hr == static_cast<HRESULT>(ERROR_SUCCESS_REBOOT_REQUIRED)) return DismAnswer::DoneRestartRequired;
    if (SUCCEEDED(hr)) return DismAnswer::Done;
    for (HRESULT missing : SOURCE_MISSING_RESULTS) {
        if (hr == missing) return DismAnswer::SourceMissing;
    }
    return DismAnswer::Failed;
}

std::string OneLineText(std::string_view text) {
    std::string line;
    bool blankPending = false;
    for (char c : text) {
        if (IsBlankCharacter(c)) {
            blankPending = !line.empty();
            continue;
        }
        if (blankPending) line += ' ';
        blankPending = false;
        line += c;
    }
    if (!line.empty() && line.back() == '.') line.pop_back();
    return line;
}

std::string FeatureNotEnabledText(std::string_view feature, std::string_view dismText, HRESULT hr) {
    std::string line = "Could not enable " + std::string(feature) + ": ";
    line += dismText.empty() ? "DISM failed with " + HexResult(hr) : std::string(dismText);
    // Only a missing payload is mended by a source; other failures say no more than DISM does.
    if (ClassifyEnableResult(hr) == DismAnswer::SourceMissing) {
        line += ". Its files are not on this machine: give Windows a source (installation media) and run the repair.";
    }
    return line;
}

std::string HexResult(HRESULT hr) { return "0x" + text::Hex8(static_cast<unsigned long>(hr)); }
