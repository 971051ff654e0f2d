#pragma once
// The progress reports DismEnableFeature hands to its callback, written as a
// scenario text: "current/total" pairs separated by ",", e.g. "0/100,42/100".
#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

namespace dism {

struct ProgressStep {
    UINT current = 0;
    UINT total = 0;
    bool operator==(const ProgressStep&) const = default;
};

inline constexpr std::wstring_view kDefaultProgress = L"0/100,42/100,100/100";

// An empty text is a sequence without reports; anything but decimal pairs
// (blanks, signs, numbers beyond 32 bits, missing parts) is no sequence at all.
std::optional<std::vector<ProgressStep>> ParseProgressSequence(std::wstring_view text);

}  // namespace dism
