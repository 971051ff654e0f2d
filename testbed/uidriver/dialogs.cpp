#include "testbed/uidriver/dialogs.h"

#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/messaging.h"

namespace uidriver {

namespace {

constexpr int BOX_TEXT_ID = 65535;
constexpr int LAST_BOX_BUTTON_ID = 11;  // IDCONTINUE

// The callbacks below must not let an exception into user32.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    try {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsDialogWindow(HWND window) { return ClassName(window) == "#32770"; }

std::string ProcessSuffix(DWORD processId) {
    return processId ? " in process " + std::to_string(processId) : std::string();
}

MessageBoxInfo DescribeBox(HWND window) {
    return {window, ProcessOf(window), StoredText(window), StoredText(::GetDlgItem(window, BOX_TEXT_ID))};
}

}  // namespace

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    return processId;
}

HWND FindDialog(std::string_view caption, DWORD processId) {
    for (HWND window : TopLevelWindows()) {
        if (processId && ProcessOf(window) != processId) continue;
        if (IsDialogWindow(window) && StoredText(window) == caption) return window;
    }
    return nullptr;
}

HWND RequireDialog(std::string_view caption, DWORD processId) {
    HWND dialog = FindDialog(caption, processId);
    if (!dialog) throw DriverError("no dialog \"" + std::string(caption) + "\" is open" + ProcessSuffix(processId));
    return dialog;
}

HWND WaitForDialog(std::string_view caption, DWORD timeoutMs, DWORD processId) {
    // The caption exists from the dialog's creation on, before its controls;
    // the program shows the dialog once it is complete.
    HWND dialog = nullptr;
    if (!WaitUntil(timeoutMs, [&] {
            dialog = FindDialog(caption, processId);
            return dialog && ::IsWindowVisible(dialog);
        })) {
        throw DriverError("dialog \"" + std::string(caption) + "\" did not open within " + std::to_string(timeoutMs) +
                          " ms" + ProcessSuffix(processId));
    }
    Settle(dialog);
    return dialog;
}

std::optional<BoxButton> ParseBoxButton(std::string_view name) {
    if (name == "ok") return BoxButton::Ok;
    if (name == "cancel") return BoxButton::Cancel;
    if (name == "yes") return BoxButton::Yes;
    if (name == "no") return BoxButton::No;
    return std::nullopt;
}

const char* BoxButtonName(BoxButton button) {
    switch (button) {
        case BoxButton::Ok: return "OK";
        case BoxButton::Cancel: return "Cancel";
        case BoxButton::Yes: return "Yes";
        case BoxButton::No: return "No";
    }
    return "?";
}

bool IsMessageBox(HWND window) {
    if (!IsDialogWindow(window)) return false;
    bool hasText = false;
    for (HWND child : ChildWindows(window)) {
        const std::string kind = ClassName(child);
        const int id = ::GetDlgCtrlID(child);
        if (kind == "Static") {
            hasText = hasText || id == BOX_TEXT_ID;
        } else if (kind != "Button" || id < IDOK || id > LAST_BOX_BUTTON_ID) {
            return false;
        }
    }
    return hasText;
}

std::vector<MessageBoxInfo> ListMessageBoxes(DWORD processId) {
    std::vector<MessageBoxInfo> boxes;
    for (HWND window : TopLevelWindows()) {
        if (processId && ProcessOf(window) != processId) continue;
        if (IsMessageBox(window)) boxes.push_back(DescribeBox(window));
    }
    return boxes;
}

std::optional<MessageBoxInfo> FindMessageBox(std::string_view fragment, DWORD processId) {
    for (MessageBoxInfo& box : ListMessageBoxes(processId)) {
        if (box.text.find(fragment) != std::string::npos) return box;
    }
    return std::nullopt;
}

MessageBoxInfo WaitForMessageBox(std::string_view fragment, DWORD timeoutMs, DWORD processId) {
    std::optional<MessageBoxInfo> box;
    if (!WaitUntil(timeoutMs, [&] { return (box = FindMessageBox(fragment, processId)).has_value(); })) {
        throw DriverError("no message box" + (fragment.empty() ? std::string() : " with \"" + std::string(fragment) + "\"") +
                          " appeared within " + std::to_string(timeoutMs) + " ms" + ProcessSuffix(processId));
    }
    return *box;
}

void AnswerMessageBox(const MessageBoxInfo& box, BoxButton button) {
    const int id = static_cast<int>(button);
    HWND control = nullptr;
    // A box is found as soon as its text is there; its buttons may follow a moment later.
    constexpr DWORD BUTTON_WAIT_MS = 1000;
    WaitUntil(BUTTON_WAIT_MS, [&] {
        control = ::GetDlgItem(box.window, id);
        return !::IsWindow(box.window) || (control && ::IsWindowVisible(control) && ::IsWindowEnabled(control));
    });
    if (!control || !::IsWindowVisible(control) || !::IsWindowEnabled(control)) {
        throw DriverError(std::string("the message box \"") + box.text + "\" offers no " + BoxButtonName(button) +
                          " button");
    }
    HWND owner = ::GetWindow(box.window, GW_OWNER);
    // Posted: the answer may start long work in the owner's thread.
    PostOrThrow(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control),
                "answer the message box");
    if (!WaitUntil(READ_TIMEOUT_MS, [&] { return !::IsWindow(box.window) || !::IsWindowVisible(box.window); })) {
        throw DriverError(std::string("the message box \"") + box.text + "\" stayed open after " +
                          BoxButtonName(button));
    }
    if (owner) Settle(owner);
}

RECT ScreenRect(HWND dialog) {
    RECT rect = {};
    if (!::GetWindowRect(dialog, &rect)) throw DriverError("cannot read the position of the dialog");
    return rect;
}

}  // namespace uidriver
