#pragma once
// The one record of a setup process: the choices made in the dialog, the
// mode, the handles of a run, the colours, the progress accounting and the
// four companions that do the work of the other subsystems.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/flags.h"
#include "app/host.h"
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

class SetupContext {
public:
    explicit SetupContext(SetupHost& host = ProductionHost());
    ~SetupContext();
    SetupContext(const SetupContext&) = delete;
    SetupContext& operator=(const SetupContext&) = delete;

    // Companions, created in this order and owned for the life of the process.
    std::unique_ptr<ServerSetup> server;
    std::unique_ptr<SqlSetup> sql;
    std::unique_ptr<ClientSetup> client;
    std::unique_ptr<DownloadStatusStore> downloadStatus;
    // The run's signed package list and what it fetched against it.
    std::unique_ptr<PackageTrust> packageTrust;

    ModeFlags modeFlags = 0;
    int themeState = 1;
    HWND dialog = nullptr;
    std::string startDirectory;
    ProgressAccounting progress;
    COLORREF backColour = BLUE_BACKGROUND;
    COLORREF textColour = WHITE_TEXT;
    win::FileHandle logFile;
    bool logFileOpened = false;  // one attempt per process, also when it failed
    SetupFlags setupFlags = 0;
    std::string hosts;
    std::string proxy;
    std::string sqlPassword;
    std::string sqlPasswordRepeat;
    long port = 0;
    std::string downloadHost;
    // The download server chosen for the run, and the /server= value it may come from.
    std::optional<std::string> commandLineServer;
    std::unique_ptr<DownloadEndpoint> downloadEndpoint;
    std::string clientDirectory;
    std::string serverDirectory;
    win::InternetHandle internetSession;
    std::string edition;

    win::Brush backgroundBrush;
    SetupHost& host;

    // Steps of the run that failed (a package given up, an installer or an
    // extraction that failed); a run with failures ends with exit code 1.
    int failedSteps = 0;
    bool restartRequired = false;
    // Set when something the run cannot trust stopped it: nothing more is
    // fetched, run or unpacked.
    bool runStopped = false;

    // Writes one line to the status line and the setup log; always 1.
    int Log(LogCategory category, std::string_view message,
            std::optional<std::string_view> detail1 = std::nullopt,
            std::optional<std::string_view> detail2 = std::nullopt);
    // Reports the thread's last error as a failed process start.
    int LogCreateProcessFailure();
    void CloseLog();
    std::string LogFilePath() const;
    // Sets the status line without logging.
    void SetStatus(std::string_view text);
    // Paints the dialog's pending changes at once, during a run.
    void RepaintNow();

    // The information box of the front end; 0 once the user closed it.
    int ShowMessage(const std::string& text);
};

// The process's one context and its instance handle, used by the entry point
// and by the window procedures that Windows calls without our arguments.
extern HINSTANCE theInstance;
