#pragma once
// Start-up of the setup process: start directory, mode, COM, the first dialog.
#include <windows.h>

#include <string>
#include <string_view>

#include "win/handles.h"

class SetupContext;

std::string CurrentDirectory();

constexpr wchar_t SETUP_MUTEX_NAME[] = L"Global\\TovinSoftCorvanta10Setup";
constexpr char ANOTHER_SETUP_TEXT[] =
    "Another Corvanta setup is running. Wait until it has finished, then start the setup again.";
// Whether a wait on the setup's mutex gave it to us: a setup that was killed
// leaves it abandoned, which counts as taken.
bool SetupLockTaken(DWORD waitResult);
// Takes the mutex that lets one setup run at a time and holds it while the
// handle lives; an invalid handle when another setup holds it.
win::KernelHandle TakeSetupLock();
// Initialises COM and its process-wide security; logs and returns false when
// either fails.
bool InitializeCom(SetupContext& context);
// Opens the setup or the maintenance dialog for the context's mode.
HWND OpenFirstDialog(SetupContext& context, int showCommand);
int RunMessageLoop();
// The log's first line for this process: version, local time and its offset
// from UTC, the account, and the command line with its secrets masked.
std::string LogHeaderLine(std::wstring_view fullCommandLine, std::wstring_view commandTail);
// Local time minus UTC in whole minutes, from the two clocks of one moment.
int UtcOffsetMinutes(const SYSTEMTIME& utc, const SYSTEMTIME& local);
std::string LocalTimeText(const SYSTEMTIME& local);
// Status codes in the start-up failure lines: 8 upper-case hex digits.
std::string HexStatus(long status);
