#pragma once
// One program run of an end-to-end scenario: a fresh start folder, the
// program started there with a command line, its dialogs and message boxes,
// its exit code, the setup log and the output it left. Whatever still runs
// when the run ends is ended with it.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_folder.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/processes.h"

namespace e2e {

constexpr DWORD DIALOG_WAIT_MS = 15000;
constexpr DWORD EXIT_WAIT_MS = 15000;
constexpr char SETUP_LOG_NAME[] = "TovinSoft CorvantaAI  Setup v10.1.3.Log";

// A path as the test machine sees it: the Linux side's "/x/y" is "Z:\x\y".
std::string WindowsPath(std::string_view path);

// A fresh, empty folder; removed with its contents unless the test failed,
// when it is kept for a look and its path reported.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(std::string_view name) const;

private:
    std::string path_;
};

class ProgramRun {
public:
    // Started in a fresh folder of its own, or in the folder given.
    explicit ProgramRun(std::string program, std::string startFolder = "");
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Starts the program once, with what follows its name on the command line.
    DWORD Start(std::string_view commandTail);
    DWORD ProcessId() const { return process_.id; }
    HANDLE Process() const { return process_.process.Get(); }

    HWND WaitForDialog(std::string_view caption, DWORD timeoutMs = DIALOG_WAIT_MS) const;
    HWND FindDialog(std::string_view caption) const;
    uidriver::MessageBoxInfo WaitForBox(std::string_view fragment = "", DWORD timeoutMs = DIALOG_WAIT_MS) const;
    std::vector<uidriver::MessageBoxInfo> Boxes() const;
    void AnswerBox(uidriver::BoxButton button, std::string_view fragment = "") const;

    // The full exit code, or nothing while it still runs after the time-out.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs = EXIT_WAIT_MS) const;
    bool IsRunning() const;
    // Ends the program and everything it started.
    void EndAll();

    const std::string& StartFolder() const { return startFolder_; }
    std::string LogPath() const;
    bool HasLog() const;
    std::string LogText() const;
    // What the program wrote to its standard output and error.
    std::string Output() const;

private:
    std::string program_;
    ScratchFolder scratch_;
    std::string startFolder_;
    std::string outputFile_;
    uidriver::ProcessGroup group_;
    uidriver::StartedProcess process_;
};

// The test support's file helpers, under the names the scenarios use.
using ::FileExists;
using ::ReadFileText;

}  // namespace e2e
