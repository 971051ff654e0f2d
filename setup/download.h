#pragma once
// Fetching package files from the download server over HTTPS: only files of
// the signed package list, up to five attempts per file, each stored
// completely and matching the list or not at all, then handed on.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/flags.h"
#include "setup/download_server.h"
#include "setup/package_list.h"

class SetupContext;

constexpr int DOWNLOAD_ATTEMPTS = 5;
constexpr size_t LOCAL_PATH_LIMIT = 255;

// What the hand-on of a stored file gave: done, fetch it again, or give up
// (the hand-on has reported why).
enum class HandOnResult { Done, Retry, GiveUp };

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
    // Runs an installer or unpacks a cabinet; none: the file is only stored.
    std::function<HandOnResult(const std::string& localPath)> handOn;
    // The share of the file received so far (0 to 1), for the progress bar.
    std::function<void(double fraction)> onFraction;
};

// 0 when the update must stop (no request could be opened, or the signed
// package list was refused), else 1 (also after "not found" and after the
// last failed attempt, which are counted as failed steps).
int FetchPackage(SetupContext& context, const FetchPlan& plan);
int ReportConnectFailure(SetupContext& context, std::string_view what, std::string_view detail);
std::string ConnectFailureText(std::string_view what, std::string_view detail);
std::string ContentMismatchText(std::string_view fileName);
std::string NotListedText(std::string_view fileName);
// "Downloading <file>: 12.3 of 45.6 MB" in MiB (2^20 bytes), one decimal;
// without a total "Downloading <file>: 12.3 MB".
std::string DownloadStatusText(std::string_view fileName, std::uint64_t received, std::optional<std::uint64_t> total);
