#include "testbed/uidriver/controls.h"

#include <commctrl.h>

#include <algorithm>

#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/messaging.h"

namespace uidriver {

namespace {

std::string Describe(HWND control) { return "control " + std::to_string(::GetDlgCtrlID(control)); }

bool ClassIs(HWND window, const char* name) { return lstrcmpiA(ClassName(window).c_str(), name) == 0; }

std::string ComboItem(HWND combo, int index) {
    // Another process's combo box answers CB_GETLBTEXT in UTF-16 even to an
    // ANSI caller, so ask in UTF-16 from the start.
    std::optional<LRESULT> length = SendWide(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (!length || *length == CB_ERR) throw DriverError("cannot read item " + std::to_string(index) + " of " + Describe(combo));
    std::wstring item(static_cast<size_t>(*length) + 256, L'\0');
    std::optional<LRESULT> copied =
        SendWide(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.data()));
    if (!copied || *copied == CB_ERR) throw DriverError("cannot read item " + std::to_string(index) + " of " + Describe(combo));
    item.resize(std::min(static_cast<size_t>(*copied), item.size() - 1));
    return ToAnsi(item);
}

}  // namespace

HWND Control(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    if (!control) throw DriverError("the dialog has no control " + std::to_string(id));
    return control;
}

bool IsComboBox(HWND control) { return ClassIs(control, "ComboBox"); }

HWND TypingTarget(HWND control) {
    if (ClassIs(control, "Edit")) return control;
    // GetComboBoxInfo does not work across processes; the edit part is the
    // combo box's one "Edit" child.
    if (IsComboBox(control)) return ::FindWindowExA(control, nullptr, "Edit", nullptr);
    return nullptr;
}

bool IsShown(HWND control) { return ::IsWindowVisible(control) != FALSE; }

bool IsEnabled(HWND control) {
    return ::IsWindowEnabled(control) && ::IsWindowEnabled(::GetAncestor(control, GA_ROOT));
}

void RequireReachable(HWND control, const char* action) {
    if (!IsShown(control)) throw DriverError(std::string("cannot ") + action + ": " + Describe(control) + " is hidden");
    // A dialog disables its fields for a moment while it checks something
    // off its thread, as a user would wait for them.
    for (int waited = 0; !IsEnabled(control) && waited < ENABLE_WAIT_MS; waited += 20) ::Sleep(20);
    if (!IsEnabled(control)) throw DriverError(std::string("cannot ") + action + ": " + Describe(control) + " is disabled");
}

std::string ControlText(HWND control) {
    if (ClassIs(control, "Static") || ClassIs(control, "Button")) return StoredText(control);
    HWND source = TypingTarget(control);
    std::optional<std::string> text = MessageText(source ? source : control);
    if (!text) throw DriverError("cannot read the text of " + Describe(control) + ": the dialog does not answer");
    return *text;
}

void SetControlText(HWND control, std::string_view text) {
    HWND target = TypingTarget(control);
    if (!target) throw DriverError("cannot type into " + Describe(control) + ": it has no edit box");
    RequireReachable(control, "type");
    const std::string value(text);
    if (!SendOrThrow(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()), "set the text")) {
        throw DriverError("cannot type into " + Describe(control) + ": the text was refused");
    }
}

ComboContents ReadCombo(HWND combo) {
    if (!IsComboBox(combo)) throw DriverError(Describe(combo) + " is no combo box");
    ComboContents contents;
    const LRESULT count = SendOrThrow(combo, CB_GETCOUNT, 0, 0, "count the items");
    for (int index = 0; index < count; ++index) contents.items.push_back(ComboItem(combo, index));
    contents.selection = static_cast<int>(SendOrThrow(combo, CB_GETCURSEL, 0, 0, "read the selection"));
    return contents;
}

int CheckState(HWND button) {
    if (!ClassIs(button, "Button")) throw DriverError(Describe(button) + " is no button");
    return static_cast<int>(SendOrThrow(button, BM_GETCHECK, 0, 0, "read the check mark"));
}

int ProgressPosition(HWND bar) {
    if (!ClassIs(bar, PROGRESS_CLASSA)) throw DriverError(Describe(bar) + " is no progress bar");
    return static_cast<int>(SendOrThrow(bar, PBM_GETPOS, 0, 0, "read the progress"));
}

void FocusControl(HWND dialog, HWND control) {
    RequireReachable(control, "give the focus");
    // The dialog moves its own focus: default button, selection of the
    // edit's text and all, as Tab between fields would.
    SendOrThrow(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE, "give the focus");
}

HWND FocusedWindow(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const DWORD thread = ::GetWindowThreadProcessId(dialog, nullptr);
    if (!thread || !::GetGUIThreadInfo(thread, &info)) return nullptr;
    return info.hwndFocus;
}

int FocusedControlId(HWND dialog) {
    HWND focus = FocusedWindow(dialog);
    if (!focus || focus == dialog || !::IsChild(dialog, focus)) return 0;
    HWND parent = ::GetParent(focus);
    if (parent != dialog && IsComboBox(parent)) focus = parent;
    return ::GetDlgCtrlID(focus);
}

void Click(HWND dialog, HWND button) {
    RequireReachable(button, "click");
    // Posted: a click may start a run that keeps the dialog's thread busy.
    PostOrThrow(button, BM_CLICK, 0, 0, "click");
    Settle(dialog);
}

}  // namespace uidriver
