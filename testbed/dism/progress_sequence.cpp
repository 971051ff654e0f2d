#include "progress_sequence.h"

#include <cstdint>

namespace dism {
namespace {

std::optional<UINT> ParseCount(std::wstring_view digits) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<UINT>(value);
}

}  // namespace

std::optional<std::vector<ProgressStep>> ParseProgressSequence(std::wstring_view text) {
    std::vector<ProgressStep> steps;
    if (text.empty()) return steps;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(L',', start);
        std::wstring_view pair = text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
        size_t slash = pair.find(L'/');
        if (slash == std::wstring_view::npos) return std::nullopt;
        std::optional<UINT> current = ParseCount(pair.substr(0, slash));
        std::optional<UINT> total = ParseCount(pair.substr(slash + 1));
        if (!current || !total) return std::nullopt;
        steps.push_back({*current, *total});
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return steps;
}

}  // namespace dism
