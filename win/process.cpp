#include "win/process.h"

#include <vector>

#include "win/handles.h"

namespace win {

namespace {

constexpr DWORD OUTPUT_PIECE = 255;

// Hands on what waits in the pipe, one piece; false when there was nothing.
bool HandOnPiece(HANDLE pipe, const OutputSink& output) {
    DWORD waiting = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return false;
    char piece[OUTPUT_PIECE];
    DWORD read = 0;
    if (!::ReadFile(pipe, piece, OUTPUT_PIECE, &read, nullptr) || read == 0) return false;
    output(std::string_view(piece, read));
    return true;
}

}  // namespace

std::optional<DWORD> RunProcess(const std::string& application, const std::string& commandLine,
                                const std::string& currentDirectory, const OutputSink& output) {
    if (application.empty()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::vector<char> line(commandLine.begin(), commandLine.end());  // CreateProcess may write into it
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    KernelHandle readEnd, writeEnd;
    if (output) {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        if (!::CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0) ||
            !::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
            return std::nullopt;
        }
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd.Get();
        startup.hStdError = writeEnd.Get();
    }
    PROCESS_INFORMATION info = {};
    const BOOL started = ::CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, output ? TRUE : FALSE,
                                          0, nullptr, currentDirectory.empty() ? nullptr : currentDirectory.c_str(),
                                          &startup, &info);
    const DWORD startError = started ? 0 : ::GetLastError();
    std::fill(line.begin(), line.end(), '\0');  // a password in it goes no further
    writeEnd.Reset();
    if (!started) {
        ::SetLastError(startError);
        return std::nullopt;
    }
    KernelHandle process(info.hProcess), thread(info.hThread);
    if (output) {
        for (bool ended = false; !ended;) {
            ended = ::WaitForSingleObject(process.Get(), 100) == WAIT_OBJECT_0;
            HandOnPiece(readEnd.Get(), output);
        }
        // What it wrote just before it ended belongs to its output too.
        while (HandOnPiece(readEnd.Get(), output)) {
        }
    } else {
        ::WaitForSingleObject(process.Get(), INFINITE);
    }
    DWORD code = 1;
    if (!::GetExitCodeProcess(process.Get(), &code)) code = 1;
    return code;
}

InstallerOutcome ClassifyExitCode(DWORD code) {
    if (code == 0) return InstallerOutcome::Success;
    if (code == ERROR_SUCCESS_REBOOT_REQUIRED || code == ERROR_SUCCESS_REBOOT_INITIATED) {
        return InstallerOutcome::RestartRequired;
    }
    return InstallerOutcome::Failure;
}

}  // namespace win
