#pragma once
// Scenarios of the real setup in the test machine: the machine cleared of
// every trace of the product, the dialog filled in as a user does, the run
// followed to its end, and what it left behind.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace e2e {

constexpr char SETUP_CAPTION[] = "TovinSoft Corvanta v10.1 Setup";
constexpr char MAINTENANCE_CAPTION[] = "Uninstall, Modify or Repair";
constexpr DWORD RUN_WAIT_MS = 240000;

struct Choices {
    std::string setupType = "Both";
    std::string bitSize = "64 Bit";
    std::string clientDirectory;  // empty: the proposal of the bit size
    std::string serverDirectory = "c:\\TCorvanta10";
    std::string edition = "Starter";
    std::string port = "8080";
    std::string installSql = "No";
    std::string password = "Ab1$cd";
    std::string passwordRepeat = "Ab1$cd";
};

struct Outcome {
    DWORD exitCode = 0;
    std::string finalBox;
    std::vector<std::string> otherBoxes;  // boxes answered on the way
    std::string log;
};

// Removes every trace the product and the test machine's fakes leave: folders,
// registry keys, installed packages, records, scenarios. The IIS stand-in
// gets the given configuration.
void ResetMachine(const std::string& iisScenario = "default-web-site");

// The files and folders Windows deletes at the next restart, as the paths
// were given (without the "\??\" the system puts before them).
std::vector<std::string> PendingRestartDeletions();

// The files below C:\ (the Windows folder and the user profiles aside), with
// their sizes and times, to prove that a run changed nothing else.
std::map<std::string, std::string> SnapshotDriveC();
// What appeared, vanished or changed, outside the given folders.
std::vector<std::string> ChangesOutside(const std::map<std::string, std::string>& before,
                                        const std::map<std::string, std::string>& after,
                                        const std::vector<std::string>& allowedFolders);

class SetupSession {
public:
    explicit SetupSession(const std::string& commandLine = "", const std::string& program = "");
    ProgramRun& Run() { return *run_; }
    HWND Dialog() const { return dialog_; }
    HWND Control(int id) const;

    // Types into a field and leaves it with Tab, as a user does.
    void Enter(int id, const std::string& text);
    void FillIn(const Choices& choices);
    // Presses OK and follows the run to its final box, answering every box on
    // the way; returns what the run showed and left.
    Outcome PressOk();
    // Follows a run that was started to its final box, as PressOk does.
    Outcome FollowRun();

private:
    std::unique_ptr<ProgramRun> run_;
    HWND dialog_ = nullptr;
};

// A quiet run of the setup followed to its end, watching that it opens no
// window: its exit code, its log (in the start folder unless a path is
// given) and what it showed.
struct QuietOutcome {
    DWORD exitCode = STILL_ACTIVE;
    std::string log;
    std::vector<std::string> windows;  // boxes or dialogs seen during the run
};
struct QuietStart {
    std::string program;      // empty: the built setup
    std::string logPath;      // empty: the start folder's log
    std::string startFolder;  // empty: a fresh folder
};
QuietOutcome RunQuietSetup(const std::string& tail, const QuietStart& start = {});

std::string SetupProgram();
std::string PackagePathE2e(const std::string& name);
// Lines of the setup log in order (CR LF removed).
std::vector<std::string> LogLines(const std::string& log);
bool HasLine(const std::string& log, const std::string& line);
// Position of a line in the log, or npos.
size_t LineAt(const std::string& log, const std::string& line);

}  // namespace e2e
