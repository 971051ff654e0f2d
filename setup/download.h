#pragma once
// Fetching package files from the download server over HTTPS: up to five
// attempts per file, each stored completely or not at all, then handed on.
#include <windows.h>
#include <winhttp.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/flags.h"

class SetupContext;

constexpr char DEFAULT_DOWNLOAD_HOST[] = "downloads.tovinsoft.com";
constexpr INTERNET_PORT DEFAULT_DOWNLOAD_PORT = 443;
constexpr char DOWNLOAD_SERVER_VARIABLE[] = "CORVANTA_DOWNLOAD_SERVER";
constexpr int DOWNLOAD_ATTEMPTS = 5;
// Reads of 256 KiB: measured in the test machine, both WinHTTP's TLS reads
// and the file writes are two to three times faster than with 15 MB reads.
constexpr DWORD READ_CHUNK_BYTES = 256 * 1024;
constexpr size_t LOCAL_PATH_LIMIT = 255;

struct DownloadEndpoint {
    std::string host;
    INTERNET_PORT port = DEFAULT_DOWNLOAD_PORT;
};

// "host" or "host:port"; nothing for an empty or malformed value.
std::optional<DownloadEndpoint> ParseDownloadServer(std::string_view value);
// The server the setup downloads from: the variable's value, else the default.
DownloadEndpoint ResolveDownloadEndpoint(SetupContext& context);
std::string ObjectPathFor(std::string_view fileName);

// One fetcher serves the client and the server update; they differ in how
// they report and in how a stored file is handed on.
struct FetchPlan {
    LogCategory category = LOG_CLIENT;
    std::string fileName;
    std::string localFolder;
    bool announceGetting = false;     // "Getting <file> from server" first
    bool recordHost = false;          // copy the host for connection messages
    bool reportSendFailure = false;   // a failed send gets its own line
    const char* downloadingText = "Downloading";
    const char* downloadedText = "Downloaded";
    // Runs an installer or unpacks a cabinet; false fetches the file again.
    std::function<bool(const std::string& localPath)> handOn;
};

// 0 when no request could be opened, else 1 (also after "not found" and
// after the last failed attempt, which are counted as failed steps).
int FetchPackage(SetupContext& context, const FetchPlan& plan);
int ReportConnectFailure(SetupContext& context, std::string_view what, std::string_view detail);
std::string ConnectFailureText(std::string_view what, std::string_view detail);
std::string WinHttpErrorText(DWORD code);
