#pragma once
// Conversions between the product's 8-bit ANSI texts and the UTF-16 of the
// wide interfaces, and a few text helpers shared by every subsystem.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace win {

std::wstring ToWide(std::string_view text, UINT codePage = CP_ACP);
std::string ToAnsi(std::wstring_view text, UINT codePage = CP_ACP);

// The system's message for an error code, or an empty text when the system
// has none. The message's own line end is removed unless asked for.
std::string SystemErrorText(DWORD code, bool keepLineEnd = false);

// A window's text, whatever its length; empty when it has none.
std::string WindowText(HWND window);

}  // namespace win

namespace text {

// A text made only of space characters (or nothing) counts as empty.
bool IsBlank(std::string_view s);
// Removes trailing blanks; the first character is never removed.
std::string TrimTrailingBlanks(std::string_view s);
bool EndsWithBackslash(std::string_view s);
// Folder and name joined with exactly one backslash between them.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder of a file: the path cut at its last separator (a path without
// one is given back whole).
std::string FolderOfFile(std::string_view path);
// The decimal digits a text starts with: their value (saturating at the
// largest 64-bit number) and how many there were; 0 and 0 without any.
struct LeadingDigits {
    std::uint64_t value = 0;
    size_t count = 0;
};
LeadingDigits ParseLeadingDigits(std::string_view s);
// The whole text as a decimal number of 1 to maxDigits digits, nothing else
// in it (no sign, no blank); nothing for anything else.
std::optional<std::uint64_t> ParseDecimal(std::string_view s, size_t maxDigits = 19);
// atol: leading white space, optional sign, decimal digits; 0 without digits.
long ParseLong(std::string_view s);
bool Contains(std::string_view s, std::string_view part);
bool EqualsNoCase(std::string_view a, std::string_view b);
// The text with its letters A to Z made lower case.
std::string ToLower(std::string_view s);
// A name Windows takes for a device whatever the folder: CON, PRN, AUX, NUL,
// COM1 to COM9 and LPT1 to LPT9, in any case and with any extension.
bool IsDeviceName(std::string_view name);
// Eight upper-case hexadecimal digits, as status codes are shown.
std::string Hex8(unsigned long value);

}  // namespace text
