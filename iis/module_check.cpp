#include "iis/module_check.h"

#include <windows.h>

#include "app/context.h"
#include "setup/server_setup.h"
#include "ui/folder_picker.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

bool Exists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

bool IsDotEntry(const char* name) { return std::string_view(name) == "." || std::string_view(name) == ".."; }

}  // namespace

std::vector<std::string> ServerModuleFiles() {
    return {"TCorvanta10.dll", "TCrv10Cml.dll", "TCrv10Cmn.dll", "TCrv10Ntx.dll",
            "Tz10si.dll",      "Tz10ci.dll",    "Tz10math.dll",  "TCrv10lzma.dll"};
}

std::string MissingModulesMessage(const std::vector<bool>& present) {
    const std::vector<std::string> files = ServerModuleFiles();
    std::string list;
    bool anyListed = false;
    for (size_t i = 0; i < files.size() && i < present.size(); ++i) {
        if (present[i]) continue;
        if (i > 0) list += anyListed ? "," : " ";
        list += files[i];
        anyListed = true;
    }
    if (!anyListed) return {};
    return list + ".Please select installation folder or let Setup search for you.";
}

void ServerSetup::CheckServerModules() {
    serverFolder = owner.serverDirectory;
    LookForInfoServer();
    if (!Exists(serverFolder)) {
        owner.Log(LOG_SERVER, "This folder does not exist.Please specify Folder where TCorvanta10 is installed ");
        return;
    }
    std::vector<bool> present;
    for (const std::string& file : ServerModuleFiles()) present.push_back(Exists(text::JoinPath(serverFolder, file)));
    const std::string message = MissingModulesMessage(present);
    if (!message.empty()) owner.Log(LOG_SERVER, message);
}

bool ServerSetup::SearchServerFolder(const std::string& folder) {
    const std::string path = folder + "\\";
    if (!::SetCurrentDirectoryA(path.c_str())) return false;
    owner.SetStatus("Searching in " + path);
    WIN32_FIND_DATAA entry;
    win::FindHandle find(::FindFirstFileA("*.*", &entry));
    if (!find) return false;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction may lead back up the tree; the walk would never end.
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            if (SearchServerFolder(path + entry.cFileName)) return true;
        } else if (text::EqualsNoCase(entry.cFileName, INSTALL_MARKER_FILE)) {
            serverFolder = path;
            LookForInfoServer();
            return true;  // an existing installation: the update runs as a repair
        }
    } while (::FindNextFileA(find.Get(), &entry));
    return false;
}

bool ServerSetup::LookForInfoServer() {
    // The information server's own tree may hold a server module; looking
    // for the information server again from there would never end.
    if (searchingInfoServer) return false;
    searchingInfoServer = true;
    bool found = false;
    if (::SetCurrentDirectoryA(INFO_SERVER_FOLDER)) {
        owner.SetStatus(std::string("Searching in ") + INFO_SERVER_FOLDER);
        WIN32_FIND_DATAA entry;
        win::FindHandle find(::FindFirstFileA("*.*", &entry));
        if (find) {
            do {
                if (IsDotEntry(entry.cFileName)) continue;
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
                    found = SearchServerFolder(std::string(INFO_SERVER_FOLDER) + "\\" + entry.cFileName);
                } else {
                    found = text::EqualsNoCase(entry.cFileName, INFO_SERVER_PROGRAM);
                }
            } while (!found && ::FindNextFileA(find.Get(), &entry));
        }
    }
    searchingInfoServer = false;
    return found;
}
