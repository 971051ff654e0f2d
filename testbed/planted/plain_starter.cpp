// The control case for the planted msiexec.exe: a program that starts
// "msiexec.exe ..." without an application name, as many do. Windows (and
// Wine) look in the program's own folder first, so a plant there runs.
// Exits with the started program's exit code, 1 when nothing could start.
#include <windows.h>

int main() {
    char line[] = "msiexec.exe /i \"C:\\CorvantaTestbed\\none.msi\" /quiet /norestart";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 1;
    ::WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(info.hProcess, &code);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
