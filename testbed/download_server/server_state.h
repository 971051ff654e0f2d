#pragma once
// The download server as the test machine's tests see it: where it listens,
// the folder it serves, its faults.json and its request log, all reached
// through the environment the test run exports.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace testbed {

struct RequestRecord {  // one line of requests.log
    std::string time, path, status, bytes, connection, method;
};

class DownloadServerState {
public:
    // Reads CORVANTA_DOWNLOAD_SERVER, CORVANTA_TESTBED_UNTRUSTED_SERVER,
    // CORVANTA_TESTBED_DOWNLOADS and CORVANTA_TESTBED_SERVER_STATE.
    DownloadServerState();
    // Empty when every variable is there; otherwise names the missing ones.
    const std::string& Missing() const { return missing_; }

    const std::string& Server() const { return server_; }
    const std::string& UntrustedServer() const { return untrustedServer_; }
    std::string DownloadPath(const std::string& name) const;

    // Replaces faults.json at once (written beside it, then moved over it),
    // so the server never reads it half-written. Each entry is a file name and
    // its JSON value, e.g. {"x.cab", R"({"fault":"truncate","after":10})"}.
    bool SetFaults(const std::vector<std::pair<std::string, std::string>>& entries) const;
    // The current faults.json, and putting it back as it was (absent when
    // `existed` is false).
    bool ReadFaults(std::string& content, bool& existed) const;
    bool RestoreFaults(const std::string& content, bool existed) const;

    // The request log's lines for /downloads/<name>, oldest first.
    std::vector<RequestRecord> Requests(const std::string& name) const;

private:
    std::string server_, untrustedServer_, downloads_, state_, missing_;
};

// Whole-file helpers in the test machine.
bool WriteWholeFile(const std::string& path, const std::string& content);
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace testbed
