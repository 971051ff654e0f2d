#include "setup/installer_runner.h"

#include <windows.h>

#include "app/context.h"
#include "setup/process.h"
#include "setup/server_setup.h"
#include "win/text.h"

InstallerCommand PlanInstallerCommand(const std::string& updateFolder, const std::string& installerName,
                                      const std::string& systemFolder) {
    const std::string path = text::JoinPath(updateFolder, installerName);
    if (text::Contains(installerName, "msi")) {
        // A msiexec.exe beside the setup or in the current folder never runs.
        const std::string msiexec = text::JoinPath(systemFolder, "msiexec.exe");
        return {msiexec, "\"" + msiexec + "\" /i \"" + path + "\" /quiet /norestart", "msiexec.exe /i " + path};
    }
    return {path, "/install /quiet /norestart", path};
}

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

int ServerSetup::RunInstaller() {
    const InstallerCommand command = PlanInstallerCommand(updateFolder, installerName, SystemFolder());
    const std::optional<DWORD> code = RunAndWait(command.application, command.commandLine, updateFolder);
    if (!code) {
        owner.LogCreateProcessFailure();
        return 0;
    }
    if (*code == 0) return 1;
    if (IsRestartCode(*code)) {
        owner.restartRequired = true;
        owner.Log(LOG_SERVER, installerName + " completed; a restart is required");
        return 1;
    }
    owner.Log(LOG_SERVER, command.loggedText);
    owner.Log(LOG_SERVER, installerName + " exited with code " + std::to_string(*code));
    return 0;
}
