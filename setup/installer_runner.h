#pragma once
// How the server's installers are started.
#include <optional>
#include <string>

#include "core/flags.h"
#include "win/process.h"

class SetupContext;

struct InstallerCommand {
    std::string application;  // always the full path of the program started
    std::string commandLine;
    std::string loggedText;   // what the log names when the installer fails
};

// A Windows Installer package (its name contains "msi") runs through the
// system's own msiexec, any other installer directly with the silent switches.
InstallerCommand PlanInstallerCommand(const std::string& updateFolder, const std::string& installerName,
                                      const std::string& systemFolder);
// The system folder (GetSystemDirectory), where msiexec.exe is taken from.
std::string SystemFolder();

// Runs an installer and waits for it. A success that asks for a restart is
// noted for the final box and logged ("<name> completed; a restart is
// required"). Nothing when it could not start (logged); otherwise the outcome,
// with the exit code for the caller's report of a failure.
struct InstallerRun {
    win::InstallerOutcome outcome = win::InstallerOutcome::Failure;
    DWORD exitCode = 0;
};
std::optional<InstallerRun> RunInstallerProgram(SetupContext& context, LogCategory category,
                                                const InstallerCommand& command, const std::string& folder,
                                                const std::string& name);
