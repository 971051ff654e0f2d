// Entry point of CorvantaSetup.exe.
#include <windows.h>

#include "app/command_line.h"
#include "app/context.h"
#include "app/startup.h"

namespace {
// The process's one setup context; it exists before the entry point runs and
// lives until the process ends.
SetupContext theContext;
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    // First of all: no DLL is ever loaded from the setup's own folder.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    theInstance = instance;
    theContext.startDirectory = CurrentDirectory();
    theContext.modeFlags = ParseModeFlags(CommandLineText(commandLine ? commandLine : L""));
    if (!InitializeCom(theContext)) {
        theContext.CloseLog();
        return 1;
    }
    OpenFirstDialog(theContext, showCommand);
    return RunMessageLoop();
}
