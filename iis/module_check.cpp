#include "iis/module_check.h"

#include <windows.h>

#include "core/context.h"
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

namespace {

// One walk: the information server's own tree may hold a server module, and
// looking for the information server again from there would never end.
class ServerSearch {
public:
    ServerSearch(std::string& serverFolder, RunLog& log) : serverFolder_(serverFolder), log_(log) {}

    bool Folder(const std::string& folder) {
        const std::string path = folder + "\\";
        if (!IsFolder(path)) return false;
        log_.SetStatus("Searching in " + path);
        WIN32_FIND_DATAA entry;
        win::FindHandle find(::FindFirstFileA((path + "*.*").c_str(), &entry));
        if (!find) return false;
        do {
            if (IsDotEntry(entry.cFileName)) continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // A junction may lead back up the tree; the walk would never end.
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
                if (Folder(path + entry.cFileName)) return true;
            } else if (text::EqualsNoCase(entry.cFileName, INSTALL_MARKER_FILE)) {
                serverFolder_ = path;
                InfoServer();
                return true;  // an existing installation: the update runs as a repair
            }
        } while (::FindNextFileA(find.Get(), &entry));
        return false;
    }

    bool InfoServer() {
        if (inInfoServer_) return false;
        inInfoServer_ = true;
        bool found = false;
        if (IsFolder(INFO_SERVER_FOLDER)) {
            log_.SetStatus(std::string("Searching in ") + INFO_SERVER_FOLDER);
            WIN32_FIND_DATAA entry;
            win::FindHandle find(::FindFirstFileA((std::string(INFO_SERVER_FOLDER) + "\\*.*").c_str(), &entry));
            if (find) {
                do {
                    if (IsDotEntry(entry.cFileName)) continue;
                    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
                        found = Folder(std::string(INFO_SERVER_FOLDER) + "\\" + entry.cFileName);
                    } else {
                        found = text::EqualsNoCase(entry.cFileName, INFO_SERVER_PROGRAM);
                    }
                } while (!found && ::FindNextFileA(find.Get(), &entry));
            }
        }
        inInfoServer_ = false;
        return found;
    }

private:
    static bool IsFolder(const std::string& path) {
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string& serverFolder_;
    RunLog& log_;
    bool inInfoServer_ = false;
};

}  // namespace

std::string CheckServerModules(const std::string& serverDirectory, RunLog& log) {
    std::string serverFolder = serverDirectory;
    LookForInfoServer(serverFolder, log);
    if (!Exists(serverFolder)) {
        log.Log(LOG_SERVER, "This folder does not exist.Please specify Folder where TCorvanta10 is installed ");
        return serverFolder;
    }
    std::vector<bool> present;
    for (const std::string& file : ServerModuleFiles()) present.push_back(Exists(text::JoinPath(serverFolder, file)));
    const std::string message = MissingModulesMessage(present);
    if (!message.empty()) log.Log(LOG_SERVER, message);
    return serverFolder;
}

bool SearchServerFolder(const std::string& folder, std::string& serverFolder, RunLog& log) {
    return ServerSearch(serverFolder, log).Folder(folder);
}

bool LookForInfoServer(std::string& serverFolder, RunLog& log) { return ServerSearch(serverFolder, log).InfoServer(); }
