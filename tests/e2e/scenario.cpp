#include "tests/e2e/scenario.h"

#include <gtest/gtest.h>

#include <sstream>

#include "resources/resource.h"
#include <shlobj.h>

#include "support/registry.h"
#include "win/registry.h"
#include "support/temp_folder.h"
#include "support/testbed_access.h"
#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/keys.h"

namespace e2e {

namespace {

const char* const PRODUCT_FOLDERS[] = {
    "C:\\TCorvanta10",  "C:\\Corvanta10App",         "C:\\Corvanta10App32", "C:\\CorvantaAIApp",
    "C:\\sqldata",      "C:\\sqlbackup",             "D:\\TCorvanta10",     "C:\\Program Files\\TovinSoft",
    "C:\\Program Files\\CorvantaIS", "C:\\CorvantaTestbed", "C:\\ProgramData\\TovinSoft"};

const char* const MACHINE_KEYS[] = {
    "SOFTWARE\\TovinSoft",
    "SOFTWARE\\Microsoft\\SQLNCLI11",
    "SOFTWARE\\Microsoft\\VisualStudio\\12.0",
    "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0",
    "SOFTWARE\\Microsoft\\VisualStudio\\14.0",
    "SOFTWARE\\CorvantaTestbed\\Installers",
    "SOFTWARE\\CorvantaTestbed\\SqlWmi",
    "SOFTWARE\\CorvantaTestbed\\Dism",
    "SOFTWARE\\CorvantaTestbed\\Iis",
};

constexpr char SESSION_MANAGER[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char PENDING_RENAMES[] = "PendingFileRenameOperations";

void RemoveFolder(const std::string& path) { ::RemoveTree(path); }

void Uninstall(const char* package) {
    std::string mutableLine = "msiexec.exe /x \"" + PackagePathE2e(package) + "\" /quiet /norestart";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ::WaitForSingleObject(info.hProcess, 60000);
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
}

void Snapshot(const std::string& folder, std::map<std::string, std::string>& files) {
    WIN32_FIND_DATAA entry;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Windows' own folder, and the profiles: Wine links their folders to
            // the Linux home, and the setup writes only its shortcuts there.
            if (_stricmp(path.c_str(), "C:\\windows") == 0 || _stricmp(path.c_str(), "C:\\users") == 0) continue;
            files[path + "\\"] = "folder";
            Snapshot(path, files);
        } else {
            files[path] = std::to_string(entry.nFileSizeLow) + "/" + std::to_string(entry.ftLastWriteTime.dwLowDateTime);
        }
    } while (::FindNextFileA(find, &entry));
    ::FindClose(find);
}

bool Below(const std::string& path, const std::string& folder) {
    return path.size() >= folder.size() && _strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '\\');
}

}  // namespace

QuietOutcome RunQuietSetup(const std::string& tail, const QuietStart& start) {
    ProgramRun run(start.program.empty() ? SetupProgram() : start.program, start.startFolder);
    run.Start(tail);
    QuietOutcome outcome;
    const ULONGLONG deadline = ::GetTickCount64() + RUN_WAIT_MS;
    while (run.IsRunning() && ::GetTickCount64() < deadline) {
        for (const auto& box : run.Boxes()) outcome.windows.push_back("box: " + box.text);
        if (run.FindDialog(SETUP_CAPTION) || run.FindDialog(MAINTENANCE_CAPTION)) outcome.windows.push_back("dialog");
        if (!outcome.windows.empty()) break;
        ::Sleep(100);
    }
    if (auto code = run.WaitForExit(outcome.windows.empty() ? 30000 : 0)) outcome.exitCode = *code;
    outcome.log = ReadFileText(start.logPath.empty() ? run.LogPath() : start.logPath);
    return outcome;
}

std::string SetupProgram() { return WindowsPath(CORVANTA_SETUP_EXE); }

std::string PackagePathE2e(const std::string& name) { return PackagePath(name); }

void ResetMachine(const std::string& iisScenario) {
    if (RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\TovinSoft\\CorvantaIS", "InstallPath") != "<absent>") {
        Uninstall("CorvantaISSetup.msi");
    }
    if (RegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\SQLNCLI11", "InstalledVersion") != "<absent>") {
        Uninstall("sqlncli.msi");
    }
    ::SetCurrentDirectoryA("C:\\");
    for (const char* folder : PRODUCT_FOLDERS) RemoveFolder(folder);
    for (const char* key : MACHINE_KEYS) DeleteRegistryTree(HKEY_LOCAL_MACHINE, key);
    DeleteRegistryTree(HKEY_CURRENT_USER, "Software\\TovinSoft");
    for (const char* entry : {"CorvantaClient", "CorvantaServer"}) {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE,
                           std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + entry,
                           KEY_WOW64_32KEY);
    }
    for (int csidl : {CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY}) {
        char folder[MAX_PATH] = {};
        if (SUCCEEDED(::SHGetFolderPathA(nullptr, csidl, nullptr, 0, folder))) {
            for (const char* link : {"\\TovinSoft Corvanta v10.1.lnk", "\\TovinSoft CorvantaAI.lnk"}) {
                ::DeleteFileA((std::string(folder) + link).c_str());
            }
        }
    }
    // Deletions an uninstall left for a restart that never comes here.
    win::DeleteRegistryValue(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES);
    ::CreateDirectoryA("C:\\CorvantaTestbed", nullptr);
    std::string source = std::string("Z:") + CORVANTA_SOURCE_DIR + "/testbed/iis/scenarios/" + iisScenario + ".config";
    for (char& c : source) c = c == '/' ? '\\' : c;
    ::CopyFileA(source.c_str(), IIS_CONFIG, FALSE);
}

std::vector<std::string> PendingRestartDeletions() {
    std::vector<std::string> paths;
    for (std::string path : win::ReadRegistryMultiString(HKEY_LOCAL_MACHINE, SESSION_MANAGER, PENDING_RENAMES)) {
        if (path.rfind("\\??\\", 0) == 0) path.erase(0, 4);
        paths.push_back(path);
    }
    return paths;
}

std::map<std::string, std::string> SnapshotDriveC() {
    std::map<std::string, std::string> files;
    Snapshot("C:", files);
    return files;
}

std::vector<std::string> ChangesOutside(const std::map<std::string, std::string>& before,
                                        const std::map<std::string, std::string>& after,
                                        const std::vector<std::string>& allowedFolders) {
    std::vector<std::string> changes;
    auto allowed = [&](const std::string& path) {
        for (const std::string& folder : allowedFolders) {
            if (Below(path, folder) || Below(folder + "\\", path.substr(0, path.size() - (path.back() == '\\')))) {
                return true;
            }
        }
        return false;
    };
    for (const auto& [path, stamp] : after) {
        auto found = before.find(path);
        if ((found == before.end() || found->second != stamp) && !allowed(path)) changes.push_back("+ " + path);
    }
    for (const auto& [path, stamp] : before) {
        if (!after.count(path) && !allowed(path)) changes.push_back("- " + path);
    }
    return changes;
}

SetupSession::SetupSession(const std::string& commandLine, const std::string& program)
    : run_(std::make_unique<ProgramRun>(program.empty() ? SetupProgram() : program)) {
    run_->Start(commandLine);
    // The setup looks for its mode words in the line without its switches.
    bool maintenance = false;
    std::istringstream words(commandLine);
    for (std::string word; words >> word;) {
        if (word.find('=') != std::string::npos) continue;
        maintenance = maintenance || word.find("repair") != std::string::npos || word.find("uninstall") != std::string::npos;
    }
    dialog_ = run_->WaitForDialog(maintenance ? MAINTENANCE_CAPTION : SETUP_CAPTION);
}

HWND SetupSession::Control(int id) const { return uidriver::Control(dialog_, id); }

void SetupSession::Enter(int id, const std::string& text) {
    uidriver::SetControlText(Control(id), text);
    uidriver::PressKey(dialog_, Control(id), uidriver::Key::Tab);
}

void SetupSession::FillIn(const Choices& choices) {
    Enter(IDC_SETUP_TYPE, choices.setupType);
    if (choices.setupType != "Server") Enter(IDC_BIT_SIZE, choices.bitSize);
    if (!choices.clientDirectory.empty()) uidriver::SetControlText(Control(IDC_CLIENT_DIRECTORY), choices.clientDirectory);
    if (choices.setupType == "Client") return;
    uidriver::SetControlText(Control(IDC_SERVER_DIRECTORY), choices.serverDirectory);
    uidriver::SetControlText(Control(IDC_EDITION), choices.edition);
    Enter(IDC_PORT, choices.port);
    if (!uidriver::IsShown(Control(IDC_INSTALL_SQL))) return;  // a SQL Server is there already
    uidriver::SetControlText(Control(IDC_INSTALL_SQL), choices.installSql);
    Enter(IDC_PASSWORD, choices.password);
    Enter(IDC_PASSWORD_REPEAT, choices.passwordRepeat);
}

Outcome SetupSession::PressOk() {
    EXPECT_TRUE(run_->Boxes().empty()) << "a field check refused: " << run_->Boxes()[0].text;
    uidriver::Click(dialog_, Control(IDOK));
    return FollowRun();
}

Outcome SetupSession::FollowRun() {
    Outcome outcome;
    const ULONGLONG deadline = ::GetTickCount64() + RUN_WAIT_MS;
    while (::GetTickCount64() < deadline && run_->IsRunning()) {
        auto boxes = run_->Boxes();
        if (boxes.empty()) {
            ::Sleep(50);
            continue;
        }
        const uidriver::MessageBoxInfo& box = boxes.front();
        const bool final = box.text.find("completed") != std::string::npos ||
                           box.text.rfind("Setup was cancelled", 0) == 0 ||
                           box.text.rfind("Please enter", 0) == 0 || box.text.find("Password") != std::string::npos;
        (final ? outcome.finalBox : outcome.otherBoxes.emplace_back()) = box.text;
        uidriver::AnswerMessageBox(box, uidriver::BoxButton::Ok);
        if (final) break;
    }
    if (auto code = run_->WaitForExit(30000)) outcome.exitCode = *code;
    else outcome.exitCode = STILL_ACTIVE;
    outcome.log = run_->LogText();
    return outcome;
}

std::vector<std::string> LogLines(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& log, const std::string& line) { return LineAt(log, line) != std::string::npos; }

size_t LineAt(const std::string& log, const std::string& line) {
    const std::vector<std::string> lines = LogLines(log);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == line) return i;
    }
    return std::string::npos;
}

}  // namespace e2e
