#pragma once
// The one record of a setup process: the choices made in the dialog, the
// mode, the handles of a run, the colours, the progress accounting and the
// four companions that do the work of the other subsystems.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "core/cancel.h"
#include "core/flags.h"
#include "core/host.h"
#include "core/observer.h"
#include "core/report.h"
#include "win/handles.h"

class ServerSetup;
class SqlSetup;
class ClientSetup;
class DownloadStatusStore;
class PackageTrust;
struct DownloadEndpoint;

// Widths of the text fields in bytes, terminating NUL included; a field holds
// at most width - 1 characters.
constexpr std::size_t FOLDER_WIDTH = 256;
constexpr std::size_t PASSWORD_WIDTH = 64;
constexpr std::size_t HOST_NAME_WIDTH = 260;
constexpr std::size_t EDITION_WIDTH = 8;  // "Starter" and its NUL

constexpr COLORREF BLUE_BACKGROUND = 0xFC9614;
constexpr COLORREF WHITE_TEXT = 0xFFFFFF;

// Weights and position of the run's progress bar.
struct ProgressAccounting {
    double total = 0;
    double done = 0;
    double clientWeight1 = 0;
    double clientWeight2 = 0;
    double clientWeight3 = 0;
    double serverPackages = 0;
    double serverFinish = 0;
    double sqlPackage = 0;
    double sqlWeight2 = 0;
    double website = 0;
};

// The log interface of the engine: what every step reports through.
class RunLog {
public:
    // Writes one line to the setup log and shows it; always 1.
    virtual int Log(LogCategory category, std::string_view message,
                    std::optional<std::string_view> detail1 = std::nullopt,
                    std::optional<std::string_view> detail2 = std::nullopt) = 0;
    // Logs a failure and counts it as a failed step, in one call; always 1,
    // so a step that reports and goes on returns what it always returned.
    virtual int Fail(LogCategory category, std::string_view message,
                     std::optional<std::string_view> detail1 = std::nullopt,
                     std::optional<std::string_view> detail2 = std::nullopt) = 0;
    // Shows a text in the status line without logging it.
    virtual void SetStatus(std::string_view text) = 0;

protected:
    ~RunLog() = default;
};

// The companions are made by the layer that knows them (AttachCompanions)
// and owned here; the context knows only their names.
template <typename T>
using Companion = std::unique_ptr<T, void (*)(T*)>;

class SetupContext : public RunLog {
public:
    explicit SetupContext(SetupHost& host = ProductionHost());
    ~SetupContext();
    SetupContext(const SetupContext&) = delete;
    SetupContext& operator=(const SetupContext&) = delete;

    // Companions, created in this order and owned for the life of the process.
    Companion<ServerSetup> server{nullptr, nullptr};
    Companion<SqlSetup> sql{nullptr, nullptr};
    Companion<ClientSetup> client{nullptr, nullptr};
    Companion<DownloadStatusStore> downloadStatus{nullptr, nullptr};
    // The run's signed package list and what it fetched against it.
    Companion<PackageTrust> packageTrust{nullptr, nullptr};

    // The choices of a run: set by the OK command (or the command line of a
    // quiet run) before the run starts; the run only reads them.
    ModeFlags modeFlags = 0;
    int themeState = 1;
    HWND dialog = nullptr;
    std::string startDirectory;
    ProgressAccounting progress;
    COLORREF backColour = BLUE_BACKGROUND;
    COLORREF textColour = WHITE_TEXT;
    win::FileHandle logFile;
    bool logFileOpened = false;  // one attempt per process, also when it failed
    // Where the log goes (/log=, else the start folder or, for a setup started
    // from the Windows folder, the product's log folder); empty: the start folder.
    std::string logPath;
    // The log's first line, written when the log is opened; empty: none.
    std::string logHeader;
    // Whether a build that trusts only its own test key says so in the log.
    bool announceTestKey = true;
    // A quiet run: no window and no box; what a box would say goes to the log.
    bool quiet = false;
    SetupFlags setupFlags = 0;
    std::string hosts;
    std::string proxy;
    std::string sqlPassword;
    std::string sqlPasswordRepeat;
    long port = 0;
    std::string downloadHost;
    // The download server chosen for the run, and the /server= value it may come from.
    std::optional<std::string> commandLineServer;
    Companion<DownloadEndpoint> downloadEndpoint{nullptr, nullptr};
    std::string clientDirectory;
    std::string serverDirectory;
    win::InternetHandle internetSession;
    std::string edition;

    win::Brush backgroundBrush;
    SetupHost& host;

    // Who watches the run: the dialog, or nobody but the log.
    RunObserver* observer;
    std::unique_ptr<RunObserver> ownedObserver;  // the one the dialog gave
    RunReport report;
    CancelToken cancel;
    // The run's own thread, while a run goes on.
    std::thread runThread;

    int Log(LogCategory category, std::string_view message, std::optional<std::string_view> detail1 = std::nullopt,
            std::optional<std::string_view> detail2 = std::nullopt) override;
    int Fail(LogCategory category, std::string_view message, std::optional<std::string_view> detail1 = std::nullopt,
             std::optional<std::string_view> detail2 = std::nullopt) override;
    void SetStatus(std::string_view text) override;
    // Reports the thread's last error as a failed process start; the step
    // that started it counts its failure when it gives up.
    int LogCreateProcessFailure();
    void CloseLog();
    // Opens the log at `path` now, afresh; false when it cannot be written there.
    bool OpenLogAt(const std::string& path);
    std::string LogFilePath() const;
    // A box the user must see during a run, asked through the observer.
    int Ask(const std::string& text, const std::string& caption, UINT type);
    // A cancel point of the run: true, with the report saying so, when Cancel
    // was confirmed; the run then stops and rolls back what it began.
    bool Stopping();
    // Whoever shows the run, from now on; nothing: only the log.
    void Watch(std::unique_ptr<RunObserver> watcher);

    // The information box of the front end; 0 once the user closed it. In a
    // quiet run the text goes to the log instead.
    int ShowMessage(const std::string& text);

private:
    // Until someone watches: boxes go to the host, nothing else is shown.
    class HostObserver final : public RunObserver {
    public:
        explicit HostObserver(SetupHost& host) : host_(host) {}
        void Status(const std::string&) override {}
        void LogLine(const std::string&) override {}
        void Progress(int) override {}
        int Ask(const std::string& text, const std::string& caption, UINT type) override {
            return host_.ShowBox(nullptr, text, caption, type);
        }

    private:
        SetupHost& host_;
    };
    // Opens the log (header first); the log's lock is held.
    void OpenLogLocked();
    HostObserver hostObserver_;
    std::mutex logMutex_;
};

// The caption of the front end's information boxes.
constexpr char MESSAGE_CAPTION[] = "TovinSoft Corvanta Version 10.1 App";
// A box's text as a quiet run logs it: "<caption>: <text>", line ends as blanks.
std::string BoxLogText(std::string_view caption, std::string_view text);

// The process's instance handle, used by the dialogs and the window
// procedures that Windows calls without our arguments.
extern HINSTANCE theInstance;
