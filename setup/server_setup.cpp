#include <windows.h>

#include <algorithm>

#include "core/context.h"
#include "prereq/cabinet.h"
#include "iis/pool_control.h"
#include "iis/website.h"
#include "prereq/sql_setup.h"
#include "prereq/vc_runtime.h"
#include "setup/download.h"
#include "setup/download_status.h"
#include "setup/file_swap.h"
#include "setup/folders.h"
#include "setup/install_record.h"
#include "setup/package_trust.h"
#include "setup/protected_folders.h"
#include "core/progress.h"
#include "setup/server_setup.h"
#include "win/text.h"

std::vector<ServerPackage> PlanServerPackages(const ServerPlanInput& input) {
    std::vector<ServerPackage> packages;
    if (!(input.setupFlags & SETUP_BITS_64) && input.runtimeMissing) {
        packages.push_back({"vcredist_x64.exe", PLACE_UPDATE, 0x2000});
    }
    packages.push_back({"TCorvanta10641.cab", PLACE_UPDATE, 0x1});
    packages.push_back({"TCorvanta10642.cab", PLACE_UPDATE, 0x2});
    packages.push_back({"TCorvanta10643.cab", PLACE_UPDATE, 0x4});
    if (input.setupFlags & SETUP_EDITION_SUMMIT) {
        packages.push_back({"TCorvanta10644.cab", PLACE_UPDATE, 0x8});
        packages.push_back({"TCorvanta10645.cab", PLACE_UPDATE, 0x10});
    }
    packages.push_back({"Corvanta10App.cab", PLACE_CAB, 0x200});
    packages.push_back({"Corvanta10App32.cab", PLACE_CAB, 0x100});
    packages.push_back({"CorvantaAiApp.cab", PLACE_CAB, 0x400});
    packages.push_back({"TCrvx.cab", PLACE_UPDATE, 0x40});
    return packages;
}

std::vector<ServerPackage> PlanLaterServerPackages(SetupFlags flags) {
    std::vector<ServerPackage> packages;
    if (flags & SETUP_INSTALL_SQL) packages.push_back({"SQLEXPR_x64_ENU.exe", PLACE_UPDATE, 0x80});
    if (flags & SETUP_INFO_SERVER_PORT) packages.push_back({"CorvantaISSetup.msi", PLACE_UPDATE, 0x200000});
    if (flags & SETUP_INSTALL_NATIVE_CLIENT) packages.push_back({"sqlncli.msi", PLACE_UPDATE, 0x800});
    return packages;
}

std::vector<std::string> PlanServerCabinets(SetupFlags flags, bool firstInstallation) {
    std::vector<std::string> cabinets = {"TCorvanta10641.cab", "TCorvanta10642.cab", "TCorvanta10643.cab"};
    if (flags & SETUP_EDITION_SUMMIT) {
        cabinets.push_back("TCorvanta10644.cab");
        cabinets.push_back("TCorvanta10645.cab");
    }
    if (firstInstallation) cabinets.push_back(FIRST_INSTALLATION_DATA_CABINET);
    return cabinets;
}

HandOnResult ServerSetup::HandOn(const std::string& fileName, const std::string& localPath, int placement,
                                 unsigned bits) {
    const bool installer = (bits & SERVER_INSTALLER_BITS) != 0;
    if (placement == PLACE_UPDATE && !installer) owner.Log(LOG_SERVER, "Extracting", fileName);
    if (!installer && !text::Contains(fileName, "cab")) {
        // Stored only (SQL Server Express): it is checked again when it runs.
        return placement == PLACE_UPDATE ? HandOnResult::Done : HandOnResult::Retry;
    }
    // What runs or is unpacked is what the list names, and stays so meanwhile.
    const auto held = HoldVerifiedPackage(owner, LOG_SERVER, localPath, fileName);
    if (!held) return HandOnResult::GiveUp;
    bool done = false;
    if (installer) {
        done = RunInstaller() == 1;
    } else {
        done = ExtractCabinet(owner, fileName, placement == PLACE_UPDATE ? updateFolder : cabFolder, updateFolder) == 1;
    }
    return done ? HandOnResult::Done : HandOnResult::Retry;
}

bool ServerSetup::StageServerCabinets() {
    dataNames.clear();
    RemoveFolderTree(stagingFolder);
    if (PrepareProtectedFolder(owner, LOG_SERVER, stagingFolder) != FolderReady::Ready) return false;
    for (const std::string& cabinet : PlanServerCabinets(owner.setupFlags, owner.modeFlags & MODE_INSTALL)) {
        // Every cabinet must have come in this run and be what the list says;
        // one missing leaves the installed server as it is.
        if (!owner.packageTrust->FetchedThisRun(cabinet)) return false;
        const auto held = HoldVerifiedPackage(owner, LOG_SERVER, text::JoinPath(updateFolder, cabinet), cabinet);
        if (!held) return false;
        const std::vector<std::string> before = FileNamesIn(stagingFolder);
        if (!ExtractCabinet(owner, cabinet, updateFolder, stagingFolder)) {
            owner.Fail(LOG_SERVER, "Could not unpack " + cabinet + " into the server directory", owner.serverDirectory);
            return false;
        }
        // The first-installation data, which the server changes as it runs.
        if (cabinet == FIRST_INSTALLATION_DATA_CABINET) {
            for (const std::string& name : FileNamesIn(stagingFolder)) {
                if (std::find(before.begin(), before.end(), name) == before.end()) dataNames.push_back(name);
            }
        }
    }
    return true;
}

bool ServerSetup::SwapInServer() {
    const std::string target = owner.serverDirectory.substr(0, owner.serverDirectory.size() - 1);
    // The site's pool stops while its files change; port 1465 has no pool.
    const std::string pool = owner.port == INFO_SERVER_PORT ? std::string() : SiteNameForPort(owner.port);
    return SwapInStaged(owner, LOG_SERVER, "server", target, updateFolder, pool, true, ServerPoolControl(owner), dataNames);
}

PoolControl ServerPoolControl(SetupContext& context) {
    return [&context](const std::string& pool, bool start) {
        const HRESULT hr = ControlAppPool(pool, start);
        if (SUCCEEDED(hr) || IsPoolAlreadyInState(hr)) return;
        context.Fail(LOG_SERVER, std::string("Could not ") + (start ? "start" : "stop") + " the application pool " + pool,
                    "0x" + text::Hex8(static_cast<unsigned long>(hr)));
    };
}

void ServerSetup::StoreDownloadStatus(unsigned bits) {
    owner.downloadStatus->Store(ComposeDownloadStatus(downloadCounter, bits, owner.downloadStatus->Read()));
}

int ServerSetup::FetchServerPackage(const std::string& fileName, int placement, unsigned bits,
                                    const StepShare& share) {
    FetchPlan plan;
    plan.category = LOG_SERVER;
    plan.fileName = fileName;
    plan.localFolder = placement == PLACE_UPDATE ? updateFolder : cabFolder;
    plan.recordHost = true;
    plan.reportSendFailure = true;
    plan.downloadingText = "Downloading ";
    plan.downloadedText = "Downloaded ";
    plan.onFraction = [this, share](double fraction) { ShowShareProgress(owner, share, fraction); };
    plan.handOn = [this, &fileName, placement, bits](const std::string& localPath) {
        return HandOn(fileName, localPath, placement, bits);
    };
    const int result = FetchPackage(owner, plan);
    if (result) StoreDownloadStatus(bits);
    return result;
}

int ServerSetup::UpdateServer() {
    const ModeFlags savedMode = owner.modeFlags;
    if (SearchServerFolder(owner.serverDirectory)) owner.modeFlags = MODE_REPAIR;
    if (!text::EndsWithBackslash(owner.serverDirectory)) owner.serverDirectory += '\\';
    updateFolder = owner.serverDirectory + "Update";
    cabFolder = owner.serverDirectory + "cab";
    stagingFolder = text::JoinPath(updateFolder, "staging");
    owner.SetStatus("Downloading Server Setup");
    owner.Log(LOG_SERVER, "Updating Server Setup Begin");
    FolderReady ready = PrepareRecordedFolder(owner, Product::Server, LOG_SERVER, owner.serverDirectory);
    if (ready == FolderReady::Ready) ready = PrepareRecordedFolder(owner, Product::Server, LOG_SERVER, updateFolder);
    if (ready != FolderReady::Ready) {
        if (ready == FolderReady::Missing) {
            owner.Fail(LOG_SERVER, "Could not create update directory. Udpate cannot proceed");  // nothing was installed: the run must not end as a success
        }
        owner.modeFlags = savedMode;
        return 1;
    }
    PrepareRecordedFolder(owner, Product::Server, LOG_SERVER, cabFolder);
    InstallRecord record(owner, Product::Server);
    if (owner.sql->sqlInstanceCount > 0) record.SetValueOnce("SqlServer", "found");

    ServerPlanInput input{owner.setupFlags, false};
    if (!(owner.setupFlags & SETUP_BITS_64)) {
        input.runtimeMissing = CheckVcRuntime(owner, VC_RUNTIME_12) != 0;
        if (!input.runtimeMissing) record.SetValueOnce("VcRuntime", "found");
    }
    // The bar moves inside the packages' weight as each of them comes.
    const std::vector<ServerPackage> packages = PlanServerPackages(input);
    const int parts = static_cast<int>(packages.size());
    for (int part = 0; part < parts; ++part) {
        const ServerPackage& package = packages[static_cast<size_t>(part)];
        if (package.bits & SERVER_INSTALLER_BITS) installerName = package.fileName;
        if (!FetchServerPackage(package.fileName, package.placement, package.bits,
                                {owner.progress.serverPackages, part, parts})) {
            if (owner.Stopping()) owner.Log(LOG_SERVER, CancelledUpdateText("server"));
            owner.modeFlags = savedMode;
            return 0;
        }
    }
    AdvanceProgress(owner, owner.progress.serverPackages);
    for (const ServerPackage& package : PlanLaterServerPackages(owner.setupFlags)) {
        if (package.bits & SERVER_INSTALLER_BITS) installerName = package.fileName;
        // SQL Server Express has a weight of its own; the others move nothing.
        const StepShare share{package.bits == 0x80 ? owner.progress.sqlPackage : 0.0, 0, 1};
        if (!FetchServerPackage(package.fileName, package.placement, package.bits, share)) {
            if (owner.Stopping()) owner.Log(LOG_SERVER, CancelledUpdateText("server"));
            owner.modeFlags = savedMode;
            return 0;
        }
        if (package.bits == 0x80) AdvanceProgress(owner, owner.progress.sqlPackage);
    }

    // The old libraries are removed, and the new files put in, only as one swap.
    const bool staged = !owner.Stopping() && StageServerCabinets();
    if (!staged || owner.Stopping()) {
        // Cancel: what was staged goes, and the installed server stays as it is.
        if (owner.Stopping()) {
            owner.Log(LOG_SERVER, CancelledUpdateText("server"));
        } else {
            owner.Fail(LOG_SERVER, NotAppliedText("server"));
        }
        RemoveFolderTree(stagingFolder);
        owner.modeFlags = savedMode;
        return 0;
    }
    if (!SwapInServer()) {
        owner.modeFlags = savedMode;
        return 0;
    }
    owner.SetStatus("Downloaded and extracted required cabs ");
    RemoveLibraryFiles(updateFolder);
    owner.downloadStatus->Store(std::string("0"));
    AdvanceProgress(owner, owner.progress.serverFinish);
    EnableIisFeatures();
    if (owner.Stopping()) {
        // DISM stopped for Cancel: the new files stay, the site is not set up.
        owner.Log(LOG_SERVER, "Kept after Cancel: the server files in " + owner.serverDirectory +
                                  " were updated; the web site was not set up and the server was not registered");
        owner.modeFlags = savedMode;
        return 0;
    }
    InstallWebsite();
    owner.modeFlags = savedMode;
    owner.Log(LOG_SERVER, "Updated Server Software");
    return 1;
}
