#include "win/text.h"

#include <climits>

namespace win {

std::wstring ToWide(std::string_view text, UINT codePage) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string ToAnsi(std::wstring_view text, UINT codePage) {
    if (text.empty()) return {};
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                  nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::string SystemErrorText(DWORD code, bool keepLineEnd) {
    char* buffer = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string out;
    if (n && buffer) out.assign(buffer, n);
    if (buffer) ::LocalFree(buffer);
    while (!keepLineEnd && !out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string WindowText(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    if (length <= 0) return {};
    std::string value(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(window, value.data(), length + 1);
    value.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return value;
}

}  // namespace win

namespace text {

bool IsBlank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

std::string TrimTrailingBlanks(std::string_view s) {
    size_t n = s.size();
    while (n > 1 && s[n - 1] == ' ') --n;
    return std::string(s.substr(0, n));
}

bool EndsWithBackslash(std::string_view s) { return !s.empty() && s.back() == '\\'; }

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!EndsWithBackslash(out)) out += '\\';
    out += name;
    return out;
}

std::string FolderOfFile(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(0, cut));
}

LeadingDigits ParseLeadingDigits(std::string_view s) {
    LeadingDigits digits;
    for (; digits.count < s.size() && s[digits.count] >= '0' && s[digits.count] <= '9'; ++digits.count) {
        const unsigned digit = static_cast<unsigned>(s[digits.count] - '0');
        digits.value = digits.value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : digits.value * 10 + digit;
    }
    return digits;
}

std::optional<std::uint64_t> ParseDecimal(std::string_view s, size_t maxDigits) {
    const LeadingDigits digits = ParseLeadingDigits(s);
    if (digits.count == 0 || digits.count != s.size() || digits.count > maxDigits || digits.count > 19) {
        return std::nullopt;
    }
    return digits.value;
}

long ParseLong(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    const std::uint64_t value = ParseLeadingDigits(s.substr(i)).value;
    // The C library saturates; so do we.
    if (negative) return value > static_cast<std::uint64_t>(LONG_MAX) ? LONG_MIN : -static_cast<long>(value);
    return value > static_cast<std::uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(value);
}

bool Contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool IsDeviceName(std::string_view name) {
    // Windows ignores the extension and blanks or dots before it.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.remove_suffix(1);
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (EqualsNoCase(base, device)) return true;
    }
    if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
    return EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT");
}

std::string Hex8(unsigned long value) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) out[static_cast<size_t>(i)] = DIGITS[value & 0xF];
    return out;
}

}  // namespace text
