// Entry point of CorvantaSetup.exe.
#include <windows.h>

#include "app/command_line.h"
#include "app/log_place.h"
#include "app/quiet_run.h"
#include "app/startup.h"
#include "core/context.h"
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
    const std::wstring_view tail = commandLine ? commandLine : L"";
    const std::vector<std::string> words = CommandLineWords(tail);
    const bool quiet = HasQuietWord(words);
    // One setup at a time: taken before anything is written, held to the end.
    const win::KernelHandle setupLock = TakeSetupLock();
    if (!setupLock) {
        if (!quiet) {
            theContext.host.ShowBox(nullptr, ANOTHER_SETUP_TEXT, MESSAGE_CAPTION, MB_OK | MB_ICONINFORMATION);
        }
        return EXIT_ANOTHER_SETUP_RUNNING;
    }
    theContext.startDirectory = CurrentDirectory();
    theContext.logHeader = LogHeaderLine(::GetCommandLineW(), tail);
    theContext.commandLineServer = SwitchValue(words, "server");
    if (quiet) return static_cast<int>(RunQuiet(theContext, words));

    theContext.modeFlags = DialogModeFlags(tail);
    PlaceLog(theContext, SwitchValue(words, "log"));
    if (!InitializeCom(theContext)) {
        theContext.CloseLog();
        return EXIT_FAILED_STEPS;
    }
    OpenFirstDialog(theContext, showCommand);
    const int exitCode = RunMessageLoop();
    WaitForSqlDetection();  // nothing of ours runs on while the process ends
    return exitCode;
}
