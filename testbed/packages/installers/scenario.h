#pragma once
// The scenario a test sets for a fake installer, under
// HKLM\SOFTWARE\CorvantaTestbed\Installers\<installer file name>.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace fake {

inline constexpr char kScenarioRoot[] = "SOFTWARE\\CorvantaTestbed\\Installers";

// The first entry of an "ExitCodes" list and the list without it. Entries are
// separated by commas, blanks around them are ignored; decimal, or hex with
// 0x. An empty list gives code 0 and stays empty. A malformed entry is still
// taken off the list but reported (valid false) so the run can show it.
struct ExitCodeTake {
    bool valid = true;
    DWORD code = 0;
    std::string entry;  // the entry as written, for the message
    std::string rest;
};
ExitCodeTake TakeFirstExitCode(std::string_view list);

// Reads the installer's list, rewrites it without the first entry and
// returns that entry; nothing (and a message in `error`) for a malformed one.
std::optional<DWORD> NextScenarioExitCode(const std::string& installer, std::string& error);

// A DWORD setting of the installer's scenario, or the fallback when unset.
DWORD ScenarioDword(const std::string& installer, const std::string& name, DWORD fallback);
std::optional<std::string> ScenarioString(const std::string& installer, const std::string& name);

// 0, 3010 (restart required) and 1641 (restart started) are successful installations.
bool IsSuccessCode(DWORD code);

}  // namespace fake
