#include "core/context.h"

HINSTANCE theInstance = nullptr;

namespace {

template <typename T>
void NoCompanion(T*) {}

}  // namespace

SetupContext::SetupContext(SetupHost& hostToUse)
    : server(nullptr, NoCompanion<ServerSetup>),
      sql(nullptr, NoCompanion<SqlSetup>),
      client(nullptr, NoCompanion<ClientSetup>),
      downloadStatus(nullptr, NoCompanion<DownloadStatusStore>),
      packageTrust(nullptr, NoCompanion<PackageTrust>),
      downloadEndpoint(nullptr, NoCompanion<DownloadEndpoint>),
      host(hostToUse),
      observer(&hostObserver_),
      hostObserver_(hostToUse) {}

SetupContext::~SetupContext() {
    if (runThread.joinable()) runThread.join();
}

void SetupContext::Watch(std::unique_ptr<RunObserver> watcher) {
    ownedObserver = std::move(watcher);
    observer = ownedObserver ? ownedObserver.get() : &hostObserver_;
}

int SetupContext::Fail(LogCategory category, std::string_view message, std::optional<std::string_view> detail1,
                       std::optional<std::string_view> detail2) {
    ++report.failedSteps;
    return Log(category, message, detail1, detail2);
}

bool SetupContext::Stopping() {
    if (!cancel.Requested()) return false;
    report.cancelled = true;
    return true;
}

int SetupContext::Ask(const std::string& text, const std::string& caption, UINT type) {
    return observer->Ask(text, caption, type);
}

int SetupContext::ShowMessage(const std::string& text) {
    if (quiet) {
        Log(LOG_UI, BoxLogText(MESSAGE_CAPTION, text));
        return 0;
    }
    host.ShowBox(::GetActiveWindow(), text, MESSAGE_CAPTION, MB_OK | MB_ICONINFORMATION);
    return 0;
}

std::string BoxLogText(std::string_view caption, std::string_view text) {
    std::string line(caption);
    line += ": ";
    for (char c : text) line += (c == '\r' || c == '\n') ? ' ' : c;
    return line;
}
