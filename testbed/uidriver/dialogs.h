#pragma once
// Finding the dialogs of a running program and its message boxes.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace uidriver {

// Every top-level window of the session, topmost first.
std::vector<HWND> TopLevelWindows();
DWORD ProcessOf(HWND window);

// The dialog ("#32770") with exactly this caption; with a process id, only
// one of that process. Message boxes count as dialogs here too.
HWND FindDialog(std::string_view caption, DWORD processId = 0);
HWND RequireDialog(std::string_view caption, DWORD processId = 0);
// Waits until the dialog is shown, which a program does once it is complete.
HWND WaitForDialog(std::string_view caption, DWORD timeoutMs, DWORD processId = 0);

struct MessageBoxInfo {
    HWND window = nullptr;
    DWORD processId = 0;
    std::string caption;
    std::string text;
};

enum class BoxButton { Ok = IDOK, Cancel = IDCANCEL, Yes = IDYES, No = IDNO };
std::optional<BoxButton> ParseBoxButton(std::string_view name);
const char* BoxButtonName(BoxButton button);

// A message box is a dialog holding its text in the static 65535 and
// nothing but statics and the standard buttons (ids 1 to 11).
bool IsMessageBox(HWND window);
// The open message boxes, topmost first; with a process id, only its own.
std::vector<MessageBoxInfo> ListMessageBoxes(DWORD processId = 0);
// The topmost box whose text contains the fragment (any box when empty).
std::optional<MessageBoxInfo> FindMessageBox(std::string_view fragment, DWORD processId = 0);
MessageBoxInfo WaitForMessageBox(std::string_view fragment, DWORD timeoutMs, DWORD processId = 0);
// Presses one of the box's buttons as a user would and waits until the box
// has closed and its owner has gone on. A button the box does not show is
// refused.
void AnswerMessageBox(const MessageBoxInfo& box, BoxButton button);

// The dialog's position on the screen: left, top, right, bottom.
RECT ScreenRect(HWND dialog);

// Polls every few milliseconds until the check is true or the time is up.
template <typename Check>
bool WaitUntil(DWORD timeoutMs, Check check) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (check()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

}  // namespace uidriver
