#include "setup/installer_runner.h"

#include <windows.h>

#include "core/context.h"
#include "setup/install_record.h"
#include "setup/msi_package.h"
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

std::optional<InstallerRun> RunInstallerProgram(SetupContext& context, LogCategory category,
                                                const InstallerCommand& command, const std::string& folder,
                                                const std::string& name) {
    const std::optional<DWORD> code = win::RunProcess(command.application, command.commandLine, folder);
    if (!code) {
        context.LogCreateProcessFailure();
        return std::nullopt;
    }
    const InstallerRun run{win::ClassifyExitCode(*code), *code};
    if (run.outcome == win::InstallerOutcome::RestartRequired) {
        context.report.restartRequired = true;
        context.Log(category, name + " completed; a restart is required");
    }
    return run;
}

int ServerSetup::RunInstaller() {
    const InstallerCommand command = PlanInstallerCommand(updateFolder, installerName, SystemFolder());
    InstallRecord record(owner, Product::Server);
    if (installerName == INFO_SERVER_PACKAGE) {
        // Read before it is installed: the uninstall removes it by this code.
        const std::string package = text::JoinPath(updateFolder, installerName);
        if (const auto code = MsiProductCode(package)) {
            record.SetValue("InfoServerProductCode", *code);
        } else {
            owner.Fail(LOG_SERVER, "Could not read the product code of " + package);
        }
    }
    const auto run = RunInstallerProgram(owner, LOG_SERVER, command, updateFolder, installerName);
    if (!run) return 0;
    if (run->outcome != win::InstallerOutcome::Failure) {
        if (text::Contains(installerName, "vcredist")) record.SetValueOnce("VcRuntime", "installed");
        return 1;
    }
    owner.Log(LOG_SERVER, command.loggedText);
    owner.Log(LOG_SERVER, installerName + " exited with code " + std::to_string(run->exitCode));
    return 0;
}
