#pragma once
// How the server's installers are started.
#include <string>

struct InstallerCommand {
    std::string application;  // empty: the system finds the program in the command line
    std::string commandLine;
    std::string loggedText;   // what the log names when the installer fails
};

// A Windows Installer package (its name contains "msi") runs through msiexec,
// any other installer directly with the silent switches.
InstallerCommand PlanInstallerCommand(const std::string& updateFolder, const std::string& installerName);
