// A program planted beside the setup and in its current folder under the
// name msiexec.exe: each start appends its command line to
// C:\CorvantaTestbed\planted-msiexec.started and it says the installation
// went well. The setup starts the system's msiexec by its full path, so this
// file must never grow.
#include <windows.h>

int main() {
    const char* line = ::GetCommandLineA();
    ::CreateDirectoryA("C:\\CorvantaTestbed", nullptr);
    HANDLE file = ::CreateFileA("C:\\CorvantaTestbed\\planted-msiexec.started", FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
        ::WriteFile(file, "\r\n", 2, &written, nullptr);
        ::CloseHandle(file);
    }
    return 0;
}
