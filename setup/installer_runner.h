#pragma once
// How the server's installers are started.
#include <string>

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
