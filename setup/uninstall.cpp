#include "setup/uninstall.h"

#include <windows.h>

#include <algorithm>

#include "core/context.h"
#include "iis/module_check.h"
#include "iis/site_removal.h"
#include "iis/website.h"
#include "setup/download_status.h"
#include "setup/file_removal.h"
#include "setup/file_swap.h"
#include "setup/folders.h"
#include "setup/install_record.h"
#include "setup/installer_runner.h"
#include "setup/maintenance.h"
#include "setup/msi_package.h"
#include "setup/package_trust.h"
#include "setup/registration.h"
#include "setup/run_sequence.h"
#include "setup/server_setup.h"
#include "win/known_folders.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/text.h"

namespace {

constexpr char CLIENT_ENTRY[] = "CorvantaClient";
constexpr char SERVER_ENTRY[] = "CorvantaServer";
constexpr const char* SHORTCUT_NAMES[] = {"TovinSoft Corvanta v10.1.lnk", "TovinSoft CorvantaAI.lnk"};

std::string EntryKey(const char* entry) { return std::string(UNINSTALL_KEY_FORMAT) + entry; }

bool EntryExists(const char* entry) {
    return win::RegistryKeyExists(HKEY_LOCAL_MACHINE, EntryKey(entry).c_str(), KEY_WOW64_32KEY);
}

bool Installed(SetupContext& context, Product product) {
    return EntryExists(product == Product::Client ? CLIENT_ENTRY : SERVER_ENTRY) ||
           InstallRecord(context, product).Exists();
}

bool Contains(const std::vector<RecordedFile>& files, const std::string& path) {
    return std::any_of(files.begin(), files.end(), [&](const RecordedFile& f) { return text::EqualsNoCase(f.path, path); });
}

void RemoveKey(SetupContext& context, LogCategory category, HKEY root, const std::string& key, REGSAM view = 0) {
    const LSTATUS status = win::DeleteRegistryTree(root, key.c_str(), view);
    if (status != ERROR_SUCCESS) {
        context.Fail(category, "Could not remove the registry key " + key, win::SystemErrorText(static_cast<DWORD>(status)));
    }
}

void RemoveValue(SetupContext& context, const char* key, const char* name) {
    const LSTATUS status = win::DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, name);
    if (status != ERROR_SUCCESS) {
        context.Fail(LOG_SERVER, std::string("Could not remove the registry value ") + name,
                     std::string(key) + ": " + win::SystemErrorText(static_cast<DWORD>(status)));
    }
}

// The recorded files, the first-installation data kept, and every other file
// of the product's folder named as kept.
void RemoveRecordedFiles(SetupContext& context, LogCategory category, const InstallRecord& record,
                         const std::string& directory) {
    std::vector<std::string> folders;
    for (const RecordedFolder& folder : record.Folders()) folders.push_back(folder.path);
    const std::vector<RecordedFile> files = record.Files();
    const std::vector<RecordedFile> data = record.Files(true);
    for (const RecordedFile& file : files) RemoveRecordedFile(context, category, file, folders);
    for (const RecordedFile& file : data) {
        if (::GetFileAttributesA(file.path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        context.Log(category, "Kept " + file.path + ": first-installation data, which the server changes as it runs");
    }
    if (directory.empty()) return;
    for (const std::string& name : FileNamesIn(directory)) {
        const std::string path = text::JoinPath(directory, name);
        if (!Contains(files, path) && !Contains(data, path)) {
            context.Log(category, "Kept " + path + ": not installed by the setup");
        }
    }
}

// The downloads, then the folders the installation made, deepest first.
void RemoveRecordedFolders(SetupContext& context, LogCategory category, const InstallRecord& record,
                           const std::vector<std::string>& downloadFolders) {
    for (const std::string& folder : downloadFolders) RemoveFolderWithContent(context, category, folder);
    std::vector<std::string> created;
    for (const RecordedFolder& folder : record.Folders()) {
        if (folder.created) created.push_back(folder.path);
    }
    for (const std::string& folder : RemovalOrder(created)) RemoveEmptyFolder(context, category, folder);
}

// An installation without a record: only what is known by name goes.
void RemoveNamedFiles(SetupContext& context, LogCategory category, const std::string& folder,
                      const std::vector<std::string>& names) {
    if (folder.empty()) return;
    for (const std::string& name : names) RemoveNamedFile(context, category, text::JoinPath(folder, name));
}

void RemoveInfoServerPackage(SetupContext& context, const std::string& productCode) {
    const MsiRemoval removal = PlanMsiRemoval(SystemFolder(), productCode);
    const std::optional<DWORD> code = win::RunProcess(removal.application, removal.commandLine, SystemFolder());
    if (!code) {
        context.Fail(LOG_SERVER, "Could not start " + removal.application, win::SystemErrorText(::GetLastError()));
        return;
    }
    switch (ClassifyMsiRemoval(*code)) {
        case RemovalAnswer::Removed:
            context.Log(LOG_SERVER, "Removed the information server package " + productCode);
            break;
        case RemovalAnswer::RemovedRestart:
            context.report.restartRequired = true;
            context.Log(LOG_SERVER, "Removed the information server package " + productCode + "; a restart is required");
            break;
        case RemovalAnswer::AlreadyGone:
            context.Log(LOG_SERVER, "The information server package " + productCode + " was removed already");
            break;
        case RemovalAnswer::Failed:
            context.Fail(LOG_SERVER, "Could not remove the information server package " + productCode,
                         "msiexec exited with code " + std::to_string(*code));
            break;
    }
}

// The site and pool of an installation without a record, by the names of its port.
SiteRecord KnownSite(const std::optional<std::string>& port) {
    SiteRecord site;
    const long number = port ? text::ParseLong(*port) : 0;
    if (number == 0 || number == INFO_SERVER_PORT) return site;
    site.site = site.pool = SiteNameForPort(number);
    site.siteSections = {SITE_SECTION_HANDLERS, SITE_SECTION_DEFAULT_DOCUMENT, SITE_SECTION_REQUEST_LIMIT};
    return site;
}

bool HasIisWork(const SiteRecord& site) {
    return !site.site.empty() || !site.pool.empty() || !site.restriction.empty() || !site.movedSite.empty();
}

void NameWhatStays(SetupContext& context, LogCategory category, const InstallRecord& record, bool recorded) {
    if (record.Value("SqlServer") || (!recorded && category == LOG_SERVER)) {
        context.Log(LOG_SQL, "Kept SQL Server and its databases");
    }
    if (record.Value("VcRuntime") || !recorded) context.Log(category, "Kept the VC runtimes, which other programs share");
}

bool UninstallServer(SetupContext& context) {
    if (!Installed(context, Product::Server)) {
        context.Fail(LOG_SERVER, "No server installation is registered; nothing to uninstall");
        return false;
    }
    InstallRecord record(context, Product::Server);
    const bool recorded = record.Exists();
    const std::string directory = WithoutTrailingSeparator(context.serverDirectory);
    const SiteRecord site = recorded ? record.Site() : KnownSite(ReadRegisteredText(true, SERVER_KEY, "Port"));
    if (HasIisWork(site)) RemoveWebsite(context.server->iis, site, context.serverDirectory, context);
    if (const auto code = record.Value("InfoServerProductCode")) RemoveInfoServerPackage(context, *code);
    const std::vector<std::string> downloads =
        directory.empty() ? std::vector<std::string>{}
                          : std::vector<std::string>{text::JoinPath(directory, "Update"), text::JoinPath(directory, "cab")};
    if (recorded) {
        RemoveRecordedFiles(context, LOG_SERVER, record, directory);
        RemoveRecordedFolders(context, LOG_SERVER, record, downloads);
    } else if (!directory.empty()) {
        RemoveNamedFiles(context, LOG_SERVER, directory, KnownServerFiles());
        for (const std::string& folder : downloads) {
            RemoveNamedFiles(context, LOG_SERVER, folder, KnownServerPackages());
            RemoveEmptyFolder(context, LOG_SERVER, folder);
        }
    }
    NameWhatStays(context, LOG_SERVER, record, recorded);
    // The product key holds the record too.
    RemoveKey(context, LOG_SERVER, HKEY_LOCAL_MACHINE, SERVER_KEY);
    RemoveKey(context, LOG_SERVER, HKEY_LOCAL_MACHINE, EntryKey(SERVER_ENTRY), KEY_WOW64_32KEY);
    context.Log(LOG_SERVER, "Removed the server's registration");
    return true;
}

void RemoveShortcuts(SetupContext& context, const InstallRecord& record, bool recorded) {
    std::vector<std::string> links;
    if (recorded) {
        for (const auto& [link, target] : record.Shortcuts()) links.push_back(link);
    } else {
        for (const KNOWNFOLDERID* id : {&FOLDERID_Programs, &FOLDERID_Desktop, &FOLDERID_CommonPrograms, &FOLDERID_PublicDesktop}) {
            const std::string folder = win::KnownFolder(*id);
            if (folder.empty()) continue;
            for (const char* name : SHORTCUT_NAMES) links.push_back(text::JoinPath(folder, name));
        }
    }
    for (const std::string& link : links) {
        if (::GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (::DeleteFileA(link.c_str())) {
            context.Log(LOG_CLIENT, "Deleted the shortcut " + link);
        } else {
            context.Fail(LOG_CLIENT, "Could not delete the shortcut " + link, win::SystemErrorText(::GetLastError()));
        }
    }
}

bool UninstallClient(SetupContext& context) {
    if (!Installed(context, Product::Client)) {
        context.Fail(LOG_CLIENT, "No client installation is registered; nothing to uninstall");
        return false;
    }
    InstallRecord record(context, Product::Client);
    const bool recorded = record.Exists();
    const std::string directory = WithoutTrailingSeparator(context.clientDirectory);
    const std::vector<std::string> downloads =
        directory.empty() ? std::vector<std::string>{} : std::vector<std::string>{text::JoinPath(directory, "Update")};
    if (recorded) {
        RemoveRecordedFiles(context, LOG_CLIENT, record, directory);
        RemoveRecordedFolders(context, LOG_CLIENT, record, downloads);
    } else if (!directory.empty()) {
        const std::string version = ReadRegisteredText(false, CLIENT_KEY, "Version").value_or("");
        RemoveNamedFiles(context, LOG_CLIENT, directory, {KnownClientProgram(version)});
        for (const std::string& folder : downloads) {
            RemoveNamedFiles(context, LOG_CLIENT, folder, KnownClientPackages());
            RemoveEmptyFolder(context, LOG_CLIENT, folder);
        }
    }
    RemoveShortcuts(context, record, recorded);
    NameWhatStays(context, LOG_CLIENT, record, recorded);
    RemoveKey(context, LOG_CLIENT, HKEY_CURRENT_USER, CLIENT_KEY);
    RemoveKey(context, LOG_CLIENT, HKEY_LOCAL_MACHINE, EntryKey(CLIENT_ENTRY), KEY_WOW64_32KEY);
    if (recorded && !record.Remove()) context.Fail(LOG_CLIENT, "Could not remove the installation record", CLIENT_RECORD_KEY);
    context.Log(LOG_CLIENT, "Removed the client's registration");
    return true;
}

// With no product left, nothing of the setup stays: its copy goes at the
// next restart (it may be the program running now), and its empty keys now.
void RemoveWhatNoProductNeeds(SetupContext& context) {
    RemoveKey(context, LOG_UI, HKEY_LOCAL_MACHINE, SERVER_KEY);  // a client registration writes it too
    for (const std::string& path : {SetupCopyPath(), SetupCopyFolder(), text::FolderOfFile(SetupCopyFolder())}) {
        if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (DeleteAtRestart(path)) {
            context.Log(LOG_UI, path + " is deleted at the next restart");
        } else if (path != text::FolderOfFile(SetupCopyFolder())) {
            context.Fail(LOG_UI, "Could not arrange the deletion of " + path, win::SystemErrorText(::GetLastError()));
        }
    }
    for (const char* key : {"SOFTWARE\\TovinSoft\\Corvanta10\\Update", "SOFTWARE\\TovinSoft\\Corvanta10\\Client",
                            "SOFTWARE\\TovinSoft\\Corvanta10\\Server", "SOFTWARE\\TovinSoft\\Corvanta10",
                            "SOFTWARE\\TovinSoft"}) {
        win::DeleteRegistryKeyIfEmpty(HKEY_LOCAL_MACHINE, key);
    }
    for (const char* key : {"Software\\TovinSoft\\Corvanta10\\Client", "Software\\TovinSoft\\Corvanta10", "Software\\TovinSoft"}) {
        win::DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, key);
    }
}

}  // namespace

std::vector<std::string> KnownServerFiles() { return ServerModuleFiles(); }

std::vector<std::string> KnownServerPackages() {
    return {"vcredist_x64.exe",   "TCorvanta10641.cab", "TCorvanta10642.cab", "TCorvanta10643.cab",
            "TCorvanta10644.cab", "TCorvanta10645.cab", "Corvanta10App.cab",  "Corvanta10App32.cab",
            "CorvantaAiApp.cab",  "TCrvx.cab",          "SQLEXPR_x64_ENU.exe", "CorvantaISSetup.msi",
            "sqlncli.msi"};
}

std::vector<std::string> KnownClientPackages() {
    return {"vcredist_x32.exe", "vcredist_x64.exe", "VC_redist.x64.exe", "Corvanta10AppSetup32.cab",
            "Corvanta10AppSetup.cab", "CorvantaAIAppSetup.cab"};
}

std::string KnownClientProgram(const std::string& registeredVersion) {
    return registeredVersion == "AI" ? "CorvantaAI.exe" : "Corvanta10App.exe";
}

void UninstallProducts(SetupContext& context) {
    // A swap a killed setup left is settled first: the files are then whole.
    FinishPendingSwap(context, ServerPoolControl(context));
    bool removed = false;
    if (context.setupFlags & SETUP_SERVER) removed = UninstallServer(context) || removed;
    if (context.setupFlags & SETUP_CLIENT) removed = UninstallClient(context) || removed;
    // An uninstall of nothing changes nothing.
    if (!removed) return;
    if (!Installed(context, Product::Server)) {
        for (const char* name : {DOWNLOAD_STATUS_VALUE, PACKAGE_SERIAL_VALUE, PENDING_SWAP_VALUE}) {
            RemoveValue(context, DOWNLOAD_STATUS_KEY, name);
        }
        if (!Installed(context, Product::Client)) RemoveWhatNoProductNeeds(context);
    }
}
