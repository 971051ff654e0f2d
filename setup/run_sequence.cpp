#include "setup/run_sequence.h"

#include <windows.h>

#include "app/context.h"
#include "prereq/sql_install.h"
#include "prereq/sql_setup.h"
#include "setup/client_setup.h"
#include "setup/folders.h"
#include "setup/package_trust.h"
#include "setup/progress.h"
#include "setup/registration.h"
#include "setup/server_setup.h"
#include "win/text.h"

namespace {

std::string ModulePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string CopyFailureText(unsigned long code, const std::string& systemText) {
    if (code == 0) return "Copying Targets: No error.\n";
    if (systemText.empty()) return "Copying Targets: Error " + std::to_string(code) + " (no message found).\n";
    return "Copying Targets: Error " + std::to_string(code) + ": " + systemText + "\n";
}

void SetProgressWeights(SetupContext& context) {
    ProgressAccounting& p = context.progress;
    p.clientWeight1 = 3;
    p.clientWeight2 = 3;
    p.clientWeight3 = 3;
    p.serverPackages = 10;
    p.serverFinish = 5;
    p.sqlPackage = 15;
    p.sqlWeight2 = 15;
    p.website = 10;
    p.total = 5;
    if (context.setupFlags & SETUP_CLIENT) p.total = 14;
    if (context.setupFlags & SETUP_SERVER) p.total += p.serverPackages + p.website + p.serverFinish;
    if (context.setupFlags & SETUP_INSTALL_SQL) p.total += p.sqlPackage + p.sqlWeight2;
    p.done = 5 + 5 / p.total;
    ShowProgress(context);
}

void CopySetupProgram(SetupContext& context) {
    const std::string source = ModulePath();
    if (source.empty()) {
        context.host.ShowBox(nullptr, "Failed to get module filename", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::string errorText;
    CreateFolderPathReporting(SETUP_COPY_FOLDER, errorText);
    if (::CopyFileA(source.c_str(), SETUP_COPY_PATH, FALSE)) return;
    const DWORD code = ::GetLastError();
    const std::string systemText = win::SystemErrorText(code);
    context.host.WriteStandardOutput(CopyFailureText(code, systemText));
    // A GUI program's standard output usually goes nowhere; the log keeps it.
    context.Log(LOG_UI, "Copy failed", SETUP_COPY_PATH, systemText);
    context.host.ShowBox(nullptr, "Copy failed", "Error", MB_OK | MB_ICONERROR);
}

void InstallSqlServer(SetupContext& context) {
    // Only the installer this run downloaded and checked is started; a copy
    // left by an earlier run is not.
    if (!context.packageTrust->FetchedThisRun(SQL_INSTALLER_NAME)) {
        context.Log(LOG_SQL, std::string("SQL Server was not installed: ") + SQL_INSTALLER_NAME +
                                 " was not downloaded in this run");
        ++context.failedSteps;
        return;
    }
    std::string serverDirectory = context.serverDirectory;
    if (!text::EndsWithBackslash(serverDirectory)) serverDirectory += '\\';
    const auto held = HoldVerifiedPackage(context, LOG_SQL, SqlInstallerPath(serverDirectory), SQL_INSTALLER_NAME);
    if (held) context.sql->InstallSqlExpress();
}

int RunSetup(SetupContext& context) {
    SetProgressWeights(context);
    context.Log(LOG_UI, "Begin updating Software");
    CopySetupProgram(context);
    if ((context.setupFlags & SETUP_CLIENT) && context.client->UpdateClient()) RegisterProduct(context, LOG_CLIENT);
    if (context.runStopped) return 1;
    if ((context.setupFlags & SETUP_SERVER) && context.server->UpdateServer()) RegisterProduct(context, LOG_SERVER);
    if (context.runStopped) return 1;
    if (context.setupFlags & SETUP_INSTALL_SQL) InstallSqlServer(context);
    return 1;
}
