// Settle: waiting until another thread has handled what was posted to it,
// with the message hook of CorvantaUiDriverHook.dll (see settle_hook.h).
// Round trips of sent messages cannot tell this: a thread answers them also
// while it waits inside a handler, e.g. on a message it sent elsewhere.
#include "testbed/uidriver/messaging.h"
#include "testbed/uidriver/settle_hook.h"

#include <algorithm>
#include <string>

#include "testbed/uidriver/driver_error.h"
#include "win/handles.h"

namespace uidriver {

namespace {

constexpr LPARAM SETTLE_ROUNDS = 2;
constexpr DWORD WINDOW_CHECK_MS = 50;

struct HookTraits {
    using Type = HHOOK;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::UnhookWindowsHookEx(h); }
};
using Hook = win::UniqueHandle<HookTraits>;

std::string ExeFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of('\\') + 1);
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Beside the running program (the driver), else where this build made it.
std::string HookLibraryPath() {
    const std::string beside = ExeFolder() + SETTLE_HOOK_DLL;
    if (FileExists(beside)) return beside;
    std::string built = UIDRIVER_HOOK_PATH;
    if (built.starts_with("/")) built.insert(0, "Z:");
    for (char& c : built) {
        if (c == '/') c = '\\';
    }
    if (FileExists(built)) return built;
    throw DriverError(std::string(SETTLE_HOOK_DLL) + " is neither at " + beside + " nor at " + built);
}

}  // namespace

bool Settle(HWND window, DWORD timeoutMs) {
    DWORD processId = 0;
    const DWORD thread = ::GetWindowThreadProcessId(window, &processId);
    if (!thread) return true;
    win::KernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    win::Library library(::LoadLibraryA(HookLibraryPath().c_str()));
    const auto proc = reinterpret_cast<HOOKPROC>(
        library ? reinterpret_cast<void*>(::GetProcAddress(library.Get(), SETTLE_HOOK_PROC)) : nullptr);
    if (!proc) throw DriverError("cannot load the settle hook (error " + std::to_string(::GetLastError()) + ")");
    Hook hook(::SetWindowsHookExA(WH_GETMESSAGE, proc, library.Get(), thread));
    if (!hook) {
        if (!::IsWindow(window)) return true;
        throw DriverError("cannot hook the dialog's thread (error " + std::to_string(::GetLastError()) + ")");
    }
    // Unique while the hook lives, and no two waits share a hook.
    const WPARAM cookie = (static_cast<WPARAM>(::GetCurrentProcessId()) << 32) |
                          (reinterpret_cast<UINT_PTR>(hook.Get()) & 0xFFFFFFFFu);
    win::KernelHandle settled(::CreateEventA(nullptr, TRUE, FALSE, SettledEventName(cookie).text));
    if (!settled) throw DriverError("cannot create an event (error " + std::to_string(::GetLastError()) + ")");
    if (!::PostMessageA(window, ::RegisterWindowMessageA(SETTLE_MESSAGE_NAME), cookie, SETTLE_ROUNDS)) {
        return !::IsWindow(window);
    }
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    const HANDLE waits[] = {settled.Get(), process.Get()};
    const DWORD count = process ? 2 : 1;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, WINDOW_CHECK_MS));
        const DWORD result = ::WaitForMultipleObjects(count, waits, FALSE, slice);
        if (result == WAIT_OBJECT_0 || result == WAIT_OBJECT_0 + 1) return true;  // handled, or the program ended
        if (result != WAIT_TIMEOUT || !::IsWindow(window)) return true;
    }
}

}  // namespace uidriver
