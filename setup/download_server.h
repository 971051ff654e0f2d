#pragma once
// Which download server the setup uses. Only an administrator chooses it:
// the /server= switch of the command line, else the DownloadServer policy,
// else the vendor's own server. The user's environment is not read.
#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SetupContext;

constexpr char DEFAULT_DOWNLOAD_HOST[] = "downloads.tovinsoft.com";
constexpr INTERNET_PORT DEFAULT_DOWNLOAD_PORT = 443;
constexpr char OLD_DOWNLOAD_SERVER_VARIABLE[] = "CORVANTA_DOWNLOAD_SERVER";
constexpr char POLICY_KEY[] = "SOFTWARE\\Policies\\TovinSoft\\Corvanta10";
constexpr char DOWNLOAD_SERVER_POLICY[] = "DownloadServer";

struct DownloadEndpoint {
    std::string host;
    INTERNET_PORT port = DEFAULT_DOWNLOAD_PORT;
};

// "host" or "host:port"; nothing for an empty or malformed value.
std::optional<DownloadEndpoint> ParseDownloadServer(std::string_view value);

struct DownloadServerChoice {
    DownloadEndpoint endpoint;
    std::vector<std::string> notes;  // log lines: sources passed over, and why
};
// The first valid source wins; an invalid one is named and passed over.
DownloadServerChoice ChooseDownloadServer(const std::optional<std::string>& commandLine,
                                          const std::optional<std::string>& policy, bool oldVariableSet);

// The run's download server, chosen once and kept in the context.
const DownloadEndpoint& ResolveDownloadEndpoint(SetupContext& context);
std::string ObjectPathFor(std::string_view fileName);
