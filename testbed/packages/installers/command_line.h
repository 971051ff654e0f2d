#pragma once
// How a Windows program sees its command line: split into arguments by the
// C runtime's rules, so a fake installer reads its switches exactly as a real
// one built with the Microsoft C runtime would.
#include <string>
#include <string_view>
#include <vector>

namespace fake {

// The first argument is the program name (quotes group, backslashes are
// literal). Every later one follows the runtime's rules: blanks and tabs
// separate outside quotes; 2n backslashes before a quote give n backslashes
// and the quote opens or closes a quoted part; 2n+1 give n and a literal
// quote; "" inside a quoted part is one literal quote and the part goes on.
std::vector<std::string> SplitCommandLine(std::string_view line);

// True when one of the arguments equals the switch, ignoring letter case.
bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name);

bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToUpper(std::string_view s);

}  // namespace fake
