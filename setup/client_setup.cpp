#include <windows.h>

#include "core/context.h"
#include "prereq/cabinet.h"
#include "prereq/vc_runtime.h"
#include "setup/client_setup.h"
#include "setup/download.h"
#include "setup/file_swap.h"
#include "setup/folders.h"
#include "setup/install_record.h"
#include "setup/package_trust.h"
#include "setup/protected_folders.h"
#include "setup/installer_runner.h"
#include "core/progress.h"
#include "win/text.h"

namespace {

constexpr ClientPackageRow CLIENT_PACKAGES[] = {
    {SETUP_BITS_32, VC_RUNTIME_12, "vcredist_x32.exe", 0x2000, "Corvanta10AppSetup32.cab", 0x80},
    {SETUP_BITS_64, VC_RUNTIME_12, "vcredist_x64.exe", 0x2000, "Corvanta10AppSetup.cab", 0x40},
    {SETUP_AI_CLIENT, VC_RUNTIME_14, "VC_redist.x64.exe", 0x1000, "CorvantaAIAppSetup.cab", 0x100},
};

}  // namespace

const ClientPackageRow* ClientPackagesFor(SetupFlags flags) {
    for (const ClientPackageRow& row : CLIENT_PACKAGES) {
        if (flags & row.bitSize) return &row;
    }
    return nullptr;
}

bool ClientSetup::RunRuntimeInstaller() {
    const std::string program = text::JoinPath(updateFolder, installerName);
    const auto run = RunInstallerProgram(owner, LOG_CLIENT, {program, "/install /quiet /norestart", program},
                                         updateFolder, installerName);
    if (!run) return false;
    if (run->outcome != win::InstallerOutcome::Failure) {
        InstallRecord(owner, Product::Client).SetValueOnce("VcRuntime", "installed");
        return true;
    }
    const std::string message = "VC_redist exited with code " + std::to_string(run->exitCode);
    owner.Log(LOG_CLIENT, message);
    owner.Ask(message, "Installer", MB_OK | MB_ICONWARNING);
    return false;
}

HandOnResult ClientSetup::HandOn(const std::string& fileName, const std::string& localPath, unsigned bits) {
    const bool installer = (bits & VC_INSTALLER_BITS) != 0;
    if (!installer && !text::Contains(fileName, "cab")) return HandOnResult::Done;
    // What runs or is unpacked is what the list names, and stays so meanwhile.
    const auto held = HoldVerifiedPackage(owner, LOG_CLIENT, localPath, fileName);
    if (!held) return HandOnResult::GiveUp;
    if (installer) return RunRuntimeInstaller() ? HandOnResult::Done : HandOnResult::Retry;
    std::string cabinetPath = updateFolder;
    if (!text::EndsWithBackslash(cabinetPath)) cabinetPath += '\\';
    RemoveFolderTree(stagingFolder);  // what an earlier attempt left
    if (PrepareProtectedFolder(owner, LOG_CLIENT, stagingFolder) != FolderReady::Ready) return HandOnResult::GiveUp;
    cabinetStaged = ExtractCabinetFiles(owner, fileName, cabinetPath, stagingFolder) != 0;
    return cabinetStaged ? HandOnResult::Done : HandOnResult::Retry;
}

int ClientSetup::FetchClientPackage(const std::string& fileName, unsigned bits, const StepShare& share) {
    FetchPlan plan;
    plan.category = LOG_CLIENT;
    plan.fileName = fileName;
    plan.localFolder = updateFolder;
    plan.announceGetting = true;
    plan.onFraction = [this, share](double fraction) { ShowShareProgress(owner, share, fraction); };
    plan.handOn = [this, &fileName, bits](const std::string& localPath) { return HandOn(fileName, localPath, bits); };
    return FetchPackage(owner, plan);
}

int ClientSetup::UpdateClient() {
    owner.Log(LOG_CLIENT, "Beging Updating Client Setup");
    if (!text::EndsWithBackslash(owner.clientDirectory)) owner.clientDirectory += '\\';
    updateFolder = owner.clientDirectory + "Update";
    stagingFolder = text::JoinPath(updateFolder, "staging");
    cabinetStaged = false;
    const FolderReady client = PrepareRecordedFolder(owner, Product::Client, LOG_CLIENT, owner.clientDirectory);
    const FolderReady update =
        client == FolderReady::Ready ? PrepareRecordedFolder(owner, Product::Client, LOG_CLIENT, updateFolder) : client;
    if (update != FolderReady::Ready) {
        if (update == FolderReady::Missing) {
            owner.Fail(LOG_CLIENT, "Could not create update directory. Udpate cannot proceed");  // nothing was installed: the run must not end as a success
        }
        return 1;
    }
    const ClientPackageRow* row = ClientPackagesFor(owner.setupFlags);
    if (row) {
        // The bar moves inside the client's weight as its packages come.
        const double weight = owner.progress.clientWeight1 + owner.progress.clientWeight2;
        const bool runtimeNeeded = CheckVcRuntime(owner, row->runtimeSelector) != 0;
        if (!runtimeNeeded) InstallRecord(owner, Product::Client).SetValueOnce("VcRuntime", "found");
        const int parts = runtimeNeeded ? 2 : 1;
        if (runtimeNeeded) {
            installerName = row->installer;
            if (!FetchClientPackage(row->installer, row->installerBits, {weight, 0, parts})) {
                if (owner.Stopping()) owner.Log(LOG_CLIENT, CancelledUpdateText("client"));
                return 0;
            }
        }
        const bool fetched = FetchClientPackage(row->cabinet, row->cabinetBits, {weight, parts - 1, parts}) != 0;
        // Cancel: what was staged goes, and the installed client stays as it is.
        if (!fetched || owner.Stopping()) {
            RemoveFolderTree(stagingFolder);
            if (owner.Stopping()) owner.Log(LOG_CLIENT, CancelledUpdateText("client"));
            return 0;
        }
        if (!cabinetStaged || !SwapInClient()) {
            if (!cabinetStaged) {
                owner.Fail(LOG_CLIENT, NotAppliedText("client"));
            }
            RemoveFolderTree(stagingFolder);
            return 0;
        }
    }
    AdvanceProgress(owner, owner.progress.clientWeight1 + owner.progress.clientWeight2);
    owner.Log(LOG_CLIENT, "Updated Client Software");
    return 1;
}

bool ClientSetup::SwapInClient() {
    const std::string target = owner.clientDirectory.substr(0, owner.clientDirectory.size() - 1);
    return SwapInStaged(owner, LOG_CLIENT, "client", target, updateFolder, "", false, [](const std::string&, bool) {}, {});
}
