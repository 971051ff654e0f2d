#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <iostream>

#include "testbed/uidriver/driver_error.h"

namespace e2e {

namespace {

std::atomic<unsigned> folderCounter{0};

}  // namespace

std::string WindowsPath(std::string_view path) {
    std::string result = path.starts_with("/") ? "Z:" + std::string(path) : std::string(path);
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    return result;
}

ScratchFolder::ScratchFolder() {
    std::string base(MAX_PATH + 1, '\0');
    base.resize(::GetTempPathA(static_cast<DWORD>(base.size()), base.data()));
    for (;;) {
        path_ = base + "corvanta-e2e-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(folderCounter++);
        if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw uidriver::DriverError("cannot create " + path_);
    }
}

ScratchFolder::~ScratchFolder() {
    if (::testing::Test::HasFailure()) {
        std::cerr << "kept for a look: " << path_ << "\n";
        return;
    }
    ::RemoveTree(path_);
}

std::string ScratchFolder::operator/(std::string_view name) const { return path_ + "\\" + std::string(name); }

ProgramRun::ProgramRun(std::string program, std::string startFolder)
    : program_(std::move(program)),
      startFolder_(startFolder.empty() ? scratch_ / "start" : std::move(startFolder)),
      outputFile_(scratch_ / "output.txt") {
    if (!::CreateDirectoryA(startFolder_.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        throw uidriver::DriverError("cannot create " + startFolder_);
    }
}

ProgramRun::~ProgramRun() { EndAll(); }

DWORD ProgramRun::Start(std::string_view commandTail) {
    if (process_.process) throw uidriver::DriverError("this run has started its program already");
    uidriver::StartRequest request;
    request.folder = startFolder_;
    request.program = program_;
    request.commandTail = std::string(commandTail);
    request.outputFile = outputFile_;
    request.group = &group_;
    process_ = uidriver::StartProgram(request);
    return process_.id;
}

HWND ProgramRun::WaitForDialog(std::string_view caption, DWORD timeoutMs) const {
    return uidriver::WaitForDialog(caption, timeoutMs, process_.id);
}

HWND ProgramRun::FindDialog(std::string_view caption) const { return uidriver::FindDialog(caption, process_.id); }

uidriver::MessageBoxInfo ProgramRun::WaitForBox(std::string_view fragment, DWORD timeoutMs) const {
    return uidriver::WaitForMessageBox(fragment, timeoutMs, process_.id);
}

std::vector<uidriver::MessageBoxInfo> ProgramRun::Boxes() const { return uidriver::ListMessageBoxes(process_.id); }

void ProgramRun::AnswerBox(uidriver::BoxButton button, std::string_view fragment) const {
    std::optional<uidriver::MessageBoxInfo> box = uidriver::FindMessageBox(fragment, process_.id);
    if (!box) throw uidriver::DriverError("no message box with \"" + std::string(fragment) + "\" is open");
    uidriver::AnswerMessageBox(*box, button);
}

std::optional<DWORD> ProgramRun::WaitForExit(DWORD timeoutMs) const {
    if (!process_.process) throw uidriver::DriverError("the program was not started");
    return uidriver::WaitForExit(process_.process.Get(), timeoutMs);
}

bool ProgramRun::IsRunning() const {
    return process_.process && ::WaitForSingleObject(process_.process.Get(), 0) == WAIT_TIMEOUT;
}

void ProgramRun::EndAll() {
    // Waited for: the files of the start folder stay in use until the
    // processes are gone, and a survivor would hold the test's output open.
    if (!group_.TerminateAll(1, EXIT_WAIT_MS)) std::cerr << "a process of " << program_ << " did not end\n";
}

std::string ProgramRun::LogPath() const { return startFolder_ + "\\" + SETUP_LOG_NAME; }
bool ProgramRun::HasLog() const { return FileExists(LogPath()); }
std::string ProgramRun::LogText() const { return ReadFileText(LogPath()); }
std::string ProgramRun::Output() const { return ReadFileText(outputFile_); }


}  // namespace e2e
