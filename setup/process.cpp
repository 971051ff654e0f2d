#include "setup/process.h"

#include <vector>

#include "win/handles.h"

std::optional<DWORD> RunAndWait(const std::string& application, const std::string& commandLine,
                                const std::string& currentDirectory) {
    if (application.empty()) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    std::vector<char> line(commandLine.begin(), commandLine.end());  // CreateProcess may write into it
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info)) {
        return std::nullopt;
    }
    win::KernelHandle process(info.hProcess), thread(info.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 1;
    if (!::GetExitCodeProcess(process.Get(), &code)) code = 1;
    return code;
}

bool IsRestartCode(DWORD code) { return code == ERROR_SUCCESS_REBOOT_REQUIRED || code == ERROR_SUCCESS_REBOOT_INITIATED; }

bool IsInstallerSuccess(DWORD code) { return code == 0 || IsRestartCode(code); }
