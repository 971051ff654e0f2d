#pragma once
// Talking to windows of another process: reads that give up when the
// window's thread is busy, texts that need no message at all, and the wait
// until the thread has handled what was posted to it.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace uidriver {

// How long a read waits for a busy dialog thread.
constexpr DWORD READ_TIMEOUT_MS = 5000;
// How long a key press or a click waits until it has been handled; a dialog
// that starts long work keeps the message in hand longer, which is no error.
constexpr DWORD SETTLE_TIMEOUT_MS = 3000;

std::optional<LRESULT> SendAnsi(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                DWORD timeoutMs = READ_TIMEOUT_MS);
std::optional<LRESULT> SendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                DWORD timeoutMs = READ_TIMEOUT_MS);
// Like SendAnsi, but a time-out or a dead window is a DriverError naming what was asked.
LRESULT SendOrThrow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what);
void PostOrThrow(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what);

// Returns once the thread of the window has handled every message posted to
// it before this call and what those posted in turn (a modal loop it entered
// counts as handled), or at once when the window is gone; false when the
// thread stayed busy for the whole time-out. Uses CorvantaUiDriverHook.dll.
bool Settle(HWND window, DWORD timeoutMs = SETTLE_TIMEOUT_MS);

// The text kept with the window itself, read without a message: a caption,
// a static or a button text, also while the window's thread is busy.
std::string StoredText(HWND window);
// The text the control reports to WM_GETTEXT (edit boxes keep their own).
std::optional<std::string> MessageText(HWND window);
std::string ClassName(HWND window);

std::wstring ToWide(std::string_view text);
std::string ToAnsi(std::wstring_view text);

}  // namespace uidriver
