#pragma once
// What tests need of the test machine's pieces: the download server's served
// files and faults, the package set, and the fake installers' records.
#include <string>
#include <vector>

#include "server_state.h"

// The server writes a request's log line once its answer has gone out, which
// may be just after the client has it: waits until at least that many lines
// for the file are there (or three seconds have passed).
std::vector<testbed::RequestRecord> WaitForRequests(const testbed::DownloadServerState& server,
                                                    const std::string& name, size_t atLeast);

// The package set as built, e.g. PackagePath("faults\\corrupt-data.cab").
std::string PackagePath(const std::string& name);

// Puts a file in the served folder under a name for the test's duration and
// then restores the package set's own file (or removes it when it has none).
// The signed list is made anew for the served files, unless the test asks
// for a file that no longer matches it (a tampered package); a file taken
// away (no source) stays listed, so the server answers 404 for it.
enum class ListUpdate { Resign, KeepList };
class ServedFile {
public:
    ServedFile(const testbed::DownloadServerState& server, std::string name, const std::string& sourcePath,
               ListUpdate update = ListUpdate::Resign);
    ~ServedFile();
    ServedFile(const ServedFile&) = delete;
    ServedFile& operator=(const ServedFile&) = delete;

private:
    const testbed::DownloadServerState& server_;
    std::string name_;
};

// The machine's DownloadServer policy set to another value (nothing: no
// policy) for the test's duration; afterwards it names the test server again.
class DownloadServerPolicy {
public:
    DownloadServerPolicy(const testbed::DownloadServerState& server, const char* value);
    ~DownloadServerPolicy();
    DownloadServerPolicy(const DownloadServerPolicy&) = delete;
    DownloadServerPolicy& operator=(const DownloadServerPolicy&) = delete;

private:
    const testbed::DownloadServerState& server_;
};
constexpr char DOWNLOAD_POLICY_KEY[] = "SOFTWARE\\Policies\\TovinSoft\\Corvanta10";

// Faults for the test's duration; faults.json is restored afterwards.
class ServerFaults {
public:
    ServerFaults(const testbed::DownloadServerState& server,
                 const std::vector<std::pair<std::string, std::string>>& entries);
    ~ServerFaults();
    ServerFaults(const ServerFaults&) = delete;
    ServerFaults& operator=(const ServerFaults&) = delete;

private:
    const testbed::DownloadServerState& server_;
    std::string saved_;
    bool existed_ = false;
};

// Lines of C:\CorvantaTestbed\installers.log written by one fake installer,
// each split at its tabs.
std::vector<std::vector<std::string>> InstallerRuns(const std::string& program);
void ClearInstallerRuns();
// Exit codes the fake installer takes, one per run ("1,1,0").
void SetInstallerExitCodes(const std::string& program, const std::string& codes);
void ClearInstallerScenarios();

// The IIS stand-in: puts a scenario configuration in place for the test's
// duration and gives the machine's configuration file back afterwards.
constexpr char IIS_CONFIG[] = "C:\\Windows\\System32\\inetsrv\\config\\applicationHost.config";
constexpr char IIS_STATE_LOG[] = "C:\\CorvantaTestbed\\iis-state.log";
class IisScenario {
public:
    explicit IisScenario(const std::string& name);
    ~IisScenario();
    IisScenario(const IisScenario&) = delete;
    IisScenario& operator=(const IisScenario&) = delete;

private:
    std::string saved_;
};

// The web.config IIS keeps a site's own settings in (handlers, default
// document, request filtering): the one in the physical path of the site's
// root virtual directory, as applicationHost.config names it. "" when the
// site or the file is not there.
std::string IisSiteWebConfig(const std::string& siteName);

// The DISM stand-in's call record, one line per call.
std::vector<std::string> DismCalls();
