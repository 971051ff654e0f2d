#include "setup/run_sequence.h"

#include <windows.h>

#include <vector>

#include "core/context.h"
#include "prereq/sql_install.h"
#include "prereq/sql_setup.h"
#include "setup/client_setup.h"
#include "setup/file_swap.h"
#include "setup/folders.h"
#include "setup/install_record.h"
#include "setup/package_trust.h"
#include "setup/protected_folders.h"
#include "core/progress.h"
#include "setup/registration.h"
#include "setup/server_setup.h"
#include "setup/shortcut.h"
#include "win/handles.h"
#include "win/known_folders.h"
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

std::string SetupCopyFolder() { return text::JoinPath(win::KnownFolder(FOLDERID_ProgramFiles), "TovinSoft\\CorvantaAI"); }

std::string SetupCopyPath() { return text::JoinPath(SetupCopyFolder(), "CorvantaSetup.exe"); }

bool IsSameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION infoA = {}, infoB = {};
    for (const auto& [path, info] : {std::pair{&a, &infoA}, std::pair{&b, &infoB}}) {
        win::FileHandle file(::CreateFileA(path->c_str(), FILE_READ_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file || !::GetFileInformationByHandle(file.Get(), info)) return false;
    }
    return infoA.dwVolumeSerialNumber == infoB.dwVolumeSerialNumber && infoA.nFileIndexHigh == infoB.nFileIndexHigh &&
           infoA.nFileIndexLow == infoB.nFileIndexLow;
}

bool CopySetupProgram(SetupContext& context) {
    const std::string source = ModulePath();
    if (source.empty()) {
        context.Ask("Failed to get module filename", "Error", MB_OK | MB_ICONERROR);
        return false;
    }
    const std::string target = SetupCopyPath();
    // A Modify from Programs and Features runs from the copy itself: there is
    // nothing to copy.
    if (IsSameFile(source, target)) return true;
    if (PrepareProtectedFolder(context, LOG_UI, SetupCopyFolder()) == FolderReady::Link) return false;
    if (::CopyFileA(source.c_str(), target.c_str(), FALSE)) return true;
    const DWORD code = ::GetLastError();
    const std::string systemText = win::SystemErrorText(code);
    context.host.WriteStandardOutput(CopyFailureText(code, systemText));
    // A GUI program's standard output usually goes nowhere; the log keeps it.
    context.Fail(LOG_UI, "Copy failed", target, systemText);
    context.Ask("Copy failed", "Error", MB_OK | MB_ICONERROR);
    return false;
}

bool StoppedByCancel(SetupContext& context, const std::vector<std::string>& kept) {
    if (!context.Stopping()) return false;
    for (const std::string& item : kept) context.Log(LOG_UI, "Kept after Cancel: " + item);
    return true;
}

void InstallSqlServer(SetupContext& context) {
    // Only the installer this run downloaded and checked is started; a copy
    // left by an earlier run is not.
    if (!context.packageTrust->FetchedThisRun(SQL_INSTALLER_NAME)) {
        context.Fail(LOG_SQL, std::string("SQL Server was not installed: ") + SQL_INSTALLER_NAME +
                                 " was not downloaded in this run");
        return;
    }
    std::string serverDirectory = context.serverDirectory;
    if (!text::EndsWithBackslash(serverDirectory)) serverDirectory += '\\';
    const auto held = HoldVerifiedPackage(context, LOG_SQL, SqlInstallerPath(serverDirectory), SQL_INSTALLER_NAME);
    if (!held) return;
    const int failedBefore = context.report.failedSteps;
    if (context.sql->InstallSqlExpress() && context.report.failedSteps == failedBefore) {
        InstallRecord(context, Product::Server).SetValueOnce("SqlServer", "installed");
    }
}

int RunSetup(SetupContext& context) {
    // A swap that a killed setup left is finished (or undone) before anything else.
    FinishPendingSwap(context, ServerPoolControl(context));
    SetProgressWeights(context);
    context.Log(LOG_UI, "Begin updating Software");
    // What is finished stays when Cancel stops the run between two products.
    std::vector<std::string> kept;
    if (CopySetupProgram(context)) kept.push_back("the copy of the setup in " + SetupCopyPath());
    if (StoppedByCancel(context, kept)) return 1;
    if ((context.setupFlags & SETUP_CLIENT) && context.client->UpdateClient() && !context.Stopping() &&
        RegisterProduct(context, LOG_CLIENT)) {
        kept.push_back("the client in " + context.clientDirectory + ", installed and registered");
    }
    if (context.report.stopped || StoppedByCancel(context, kept)) return 1;
    if ((context.setupFlags & SETUP_SERVER) && context.server->UpdateServer() && !context.Stopping() &&
        RegisterProduct(context, LOG_SERVER)) {
        kept.push_back("the server in " + context.serverDirectory + ", installed and registered");
    }
    if (context.report.stopped || StoppedByCancel(context, kept)) return 1;
    if (context.setupFlags & SETUP_INSTALL_SQL) InstallSqlServer(context);
    if (StoppedByCancel(context, kept)) return 1;
    CreateClientShortcut(context);
    return 1;
}
