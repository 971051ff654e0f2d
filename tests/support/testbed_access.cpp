#include "support/testbed_access.h"

#include <windows.h>

#include <sstream>

#include "support/package_signing.h"
#include "support/registry.h"
#include "support/temp_folder.h"

namespace {

constexpr char INSTALLER_LOG[] = "C:\\CorvantaTestbed\\installers.log";
constexpr char INSTALLER_SCENARIOS[] = "SOFTWARE\\CorvantaTestbed\\Installers";

std::string Environment(const char* name) {
    char value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
    return length && length < sizeof value ? value : "";
}

}  // namespace

std::vector<testbed::RequestRecord> WaitForRequests(const testbed::DownloadServerState& server,
                                                    const std::string& name, size_t atLeast) {
    const ULONGLONG deadline = ::GetTickCount64() + 3000;
    for (;;) {
        auto records = server.Requests(name);
        if (records.size() >= atLeast || ::GetTickCount64() >= deadline) return records;
        ::Sleep(20);
    }
}

std::string PackagePath(const std::string& name) { return Environment("CORVANTA_TESTBED_PACKAGES") + "\\" + name; }

ServedFile::ServedFile(const testbed::DownloadServerState& server, std::string name, const std::string& sourcePath,
                       ListUpdate update)
    : server_(server), name_(std::move(name)) {
    if (sourcePath.empty()) {
        ::DeleteFileA(server_.DownloadPath(name_).c_str());
    } else {
        ::CopyFileA(sourcePath.c_str(), server_.DownloadPath(name_).c_str(), FALSE);
    }
    // A file taken away stays listed: the server then answers 404 for it.
    if (update == ListUpdate::Resign && !sourcePath.empty()) SignServedFolder(server_);
}

ServedFile::~ServedFile() {
    const std::string original = PackagePath(name_);
    if (FileExists(original)) {
        ::CopyFileA(original.c_str(), server_.DownloadPath(name_).c_str(), FALSE);
    } else {
        ::DeleteFileA(server_.DownloadPath(name_).c_str());
    }
    SignServedFolder(server_);
}

DownloadServerPolicy::DownloadServerPolicy(const testbed::DownloadServerState& server, const char* value)
    : server_(server) {
    if (value) {
        SetRegistryString(HKEY_LOCAL_MACHINE, DOWNLOAD_POLICY_KEY, "DownloadServer", value);
    } else {
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, DOWNLOAD_POLICY_KEY);
    }
}

DownloadServerPolicy::~DownloadServerPolicy() {
    SetRegistryString(HKEY_LOCAL_MACHINE, DOWNLOAD_POLICY_KEY, "DownloadServer", server_.Server());
}

ServerFaults::ServerFaults(const testbed::DownloadServerState& server,
                           const std::vector<std::pair<std::string, std::string>>& entries)
    : server_(server) {
    server_.ReadFaults(saved_, existed_);
    server_.SetFaults(entries);
}

ServerFaults::~ServerFaults() { server_.RestoreFaults(saved_, existed_); }

std::vector<std::vector<std::string>> InstallerRuns(const std::string& program) {
    std::vector<std::vector<std::string>> runs;
    std::istringstream lines(ReadFileText(INSTALLER_LOG));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t')) fields.push_back(field);
        if (!fields.empty() && fields[0] == program) runs.push_back(fields);
    }
    return runs;
}

void ClearInstallerRuns() { ::DeleteFileA(INSTALLER_LOG); }

void SetInstallerExitCodes(const std::string& program, const std::string& codes) {
    SetRegistryString(HKEY_LOCAL_MACHINE, std::string(INSTALLER_SCENARIOS) + "\\" + program, "ExitCodes", codes);
}

void ClearInstallerScenarios() { DeleteRegistryTree(HKEY_LOCAL_MACHINE, INSTALLER_SCENARIOS); }

IisScenario::IisScenario(const std::string& name) : saved_(ReadFileText(IIS_CONFIG)) {
    std::string source = std::string("Z:") + CORVANTA_SOURCE_DIR + "/testbed/iis/scenarios/" + name + ".config";
    for (char& c : source) c = c == '/' ? '\\' : c;
    ::CopyFileA(source.c_str(), IIS_CONFIG, FALSE);
    ::DeleteFileA(IIS_STATE_LOG);
}

IisScenario::~IisScenario() {
    WriteFileText(IIS_CONFIG, saved_);
    ::DeleteFileA(IIS_STATE_LOG);
}

namespace {

// The text of the tag starting at the first occurrence of start at or after from.
std::string TagAfter(const std::string& text, const std::string& start, size_t from, size_t until) {
    const size_t at = text.find(start, from);
    if (at == std::string::npos || at >= until) return {};
    return text.substr(at, text.find('>', at) - at);
}

std::string AttributeOf(const std::string& tag, const std::string& name) {
    const std::string key = " " + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos) return {};
    const size_t begin = at + key.size();
    return tag.substr(begin, tag.find('"', begin) - begin);
}

}  // namespace

std::string IisSiteWebConfig(const std::string& siteName) {
    const std::string config = ReadFileText(IIS_CONFIG);
    const size_t site = config.find("<site name=\"" + siteName + "\"");
    if (site == std::string::npos) return {};
    const size_t end = config.find("</site>", site);
    const size_t application = config.find("<application path=\"/\"", site);
    const std::string directory = TagAfter(config, "<virtualDirectory path=\"/\"", application, end);
    std::string folder = AttributeOf(directory, "physicalPath");
    if (folder.empty()) return {};
    char expanded[MAX_PATH] = {};
    const DWORD length = ::ExpandEnvironmentStringsA(folder.c_str(), expanded, MAX_PATH);
    if (length > 0 && length <= MAX_PATH) folder = expanded;
    if (folder.back() != '\\') folder += '\\';
    return ReadFileText(folder + "web.config");
}

std::vector<std::string> DismCalls() {
    std::vector<std::string> calls;
    std::istringstream lines(ReadFileText("C:\\CorvantaTestbed\\dism-calls.log"));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        calls.push_back(line);
    }
    return calls;
}
