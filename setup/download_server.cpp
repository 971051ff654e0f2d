#include "setup/download_server.h"

#include "core/context.h"
#include "win/registry.h"
#include "win/text.h"

std::optional<DownloadEndpoint> ParseDownloadServer(std::string_view value) {
    if (value.empty() || value.find_first_of(" \t/\\") != std::string_view::npos) return std::nullopt;
    const size_t colon = value.rfind(':');
    if (colon == std::string_view::npos) return DownloadEndpoint{std::string(value), DEFAULT_DOWNLOAD_PORT};
    const std::string_view host = value.substr(0, colon);
    const std::string_view port = value.substr(colon + 1);
    if (host.empty() || host.find(':') != std::string_view::npos) return std::nullopt;
    const std::optional<std::uint64_t> number = text::ParseDecimal(port, 5);
    if (!number || *number == 0 || *number > 65535) return std::nullopt;
    return DownloadEndpoint{std::string(host), static_cast<INTERNET_PORT>(*number)};
}

DownloadServerChoice ChooseDownloadServer(const std::optional<std::string>& commandLine,
                                          const std::optional<std::string>& policy, bool oldVariableSet) {
    DownloadServerChoice choice;
    if (oldVariableSet) {
        choice.notes.push_back(std::string(OLD_DOWNLOAD_SERVER_VARIABLE) +
                               " is no longer read; set the DownloadServer policy or /server=");
    }
    std::vector<std::string> passedOver;
    std::optional<DownloadEndpoint> chosen;
    for (const auto& [source, value] : {std::pair{"/server=", &commandLine}, std::pair{DOWNLOAD_SERVER_POLICY, &policy}}) {
        if (chosen || !*value) continue;
        chosen = ParseDownloadServer(**value);
        if (!chosen) passedOver.push_back(source);
    }
    choice.endpoint = chosen.value_or(DownloadEndpoint{DEFAULT_DOWNLOAD_HOST, DEFAULT_DOWNLOAD_PORT});
    for (const std::string& source : passedOver) {
        choice.notes.push_back("The download server setting " + source + " is not valid; using " + choice.endpoint.host);
    }
    return choice;
}

const DownloadEndpoint& ResolveDownloadEndpoint(SetupContext& context) {
    if (!context.downloadEndpoint) {
        const bool oldVariableSet = ::GetEnvironmentVariableA(OLD_DOWNLOAD_SERVER_VARIABLE, nullptr, 0) > 0;
        DownloadServerChoice choice = ChooseDownloadServer(
            context.commandLineServer, win::ReadRegistryString(HKEY_LOCAL_MACHINE, POLICY_KEY, DOWNLOAD_SERVER_POLICY),
            oldVariableSet);
        for (const std::string& note : choice.notes) context.Log(LOG_SERVER, note);
        context.downloadEndpoint = Companion<DownloadEndpoint>(new DownloadEndpoint(std::move(choice.endpoint)),
                                                           [](DownloadEndpoint* p) { delete p; });
    }
    return *context.downloadEndpoint;
}

std::string ObjectPathFor(std::string_view fileName) { return "downloads/" + std::string(fileName); }
