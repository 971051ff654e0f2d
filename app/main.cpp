// Entry point of CorvantaSetup.exe.
#include <windows.h>

#include "app/command_line.h"
#include "core/context.h"
#include "app/startup.h"
#include "setup/companions.h"
#include "ui/sql_check.h"

namespace {
// The process's one setup context; it exists before the entry point runs and
// lives until the process ends.
SetupProcessContext theContext;
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
    // First of all: no DLL is ever loaded from the setup's own folder.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    theInstance = instance;
    // One setup at a time: taken before anything is written, held to the end.
    const win::KernelHandle setupLock = TakeSetupLock();
    if (!setupLock) {
        theContext.host.ShowBox(nullptr, ANOTHER_SETUP_TEXT, "TovinSoft Corvanta Version 10.1 App",
                                MB_OK | MB_ICONINFORMATION);
        return EXIT_ANOTHER_SETUP_RUNNING;
    }
    const std::wstring_view tail = commandLine ? commandLine : L"";
    theContext.startDirectory = CurrentDirectory();
    theContext.modeFlags = ParseModeFlags(CommandLineText(tail));
    theContext.commandLineServer = SwitchValue(CommandLineWords(tail), "server");
    if (!InitializeCom(theContext)) {
        theContext.CloseLog();
        return 1;
    }
    OpenFirstDialog(theContext, showCommand);
    const int exitCode = RunMessageLoop();
    WaitForSqlDetection();  // nothing of ours runs on while the process ends
    return exitCode;
}
