#pragma once
// What a DISM answer means for the IIS features, and how its text is logged.
#include <windows.h>

#include <string>
#include <string_view>

enum class DismAnswer {
    Done,
    DoneRestartRequired,  // ERROR_SUCCESS_REBOOT_REQUIRED, a success code
    SourceMissing,        // the feature's files are not on the machine and could not be fetched
    Failed,
};
DismAnswer ClassifyEnableResult(HRESULT hr);

// A text of several lines on one: line ends and runs of blanks as one blank,
// no blank at either end, and no final period (the log line goes on after it).
std::string OneLineText(std::string_view text);

// The log line of a feature a call of its own could not enable. dismText is
// DISM's one-line text for the failure, or empty when DISM gave none.
std::string FeatureNotEnabledText(std::string_view feature, std::string_view dismText, HRESULT hr);

std::string HexResult(HRESULT hr);
