// A DLL planted beside a program under a system DLL's name: when it is ever
// loaded, it leaves a mark and refuses to load. The setup must never load it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(instance, path, MAX_PATH);
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    char mark[MAX_PATH + 64] = "C:\\CorvantaTestbed\\planted-";
    lstrcatA(mark, name);
    lstrcatA(mark, ".loaded");
    ::CreateDirectoryA("C:\\CorvantaTestbed", nullptr);
    HANDLE file = ::CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return FALSE;
}
