#pragma once
// Start-up of the setup process: start directory, mode, COM, the first dialog.
#include <windows.h>

#include <string>

class SetupContext;

std::string CurrentDirectory();
// Initialises COM and its process-wide security; logs and returns false when
// either fails.
bool InitializeCom(SetupContext& context);
// Opens the setup or the maintenance dialog for the context's mode.
HWND OpenFirstDialog(SetupContext& context, int showCommand);
int RunMessageLoop();
// Status codes in the start-up failure lines: 8 upper-case hex digits.
std::string HexStatus(long status);
