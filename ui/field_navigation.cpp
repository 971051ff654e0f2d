#include "ui/field_navigation.h"

#include <commctrl.h>

#include "core/context.h"
#include "resources/resource.h"
#include "ui/field_checks.h"
#include "ui/folder_picker.h"
#include "ui/setup_dialog.h"
#include "win/text.h"

namespace {

bool IsDirectoryBox(UINT_PTR id) { return id == IDC_CLIENT_DIRECTORY || id == IDC_SERVER_DIRECTORY; }

std::string ClassName(HWND window) {
    char name[32] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

bool IsComboBox(HWND window) { return window && text::EqualsNoCase(ClassName(window), "ComboBox"); }

std::optional<std::string> ListItemText(HWND window, UINT lengthMessage, UINT textMessage, LRESULT index) {
    const LRESULT length = ::SendMessageA(window, lengthMessage, index, 0);
    if (length < 0) return std::nullopt;
    std::string value(static_cast<size_t>(length) + 1, '\0');
    const LRESULT copied = ::SendMessageA(window, textMessage, index, reinterpret_cast<LPARAM>(value.data()));
    if (copied < 0) return std::nullopt;
    value.resize(static_cast<size_t>(copied));
    return value;
}

// The text a field's check judges: the edit text of a combo box, else the
// control's own text; empty when the control is missing.
std::string FieldText(HWND dialog, UINT_PTR controlId) {
    HWND control = ::GetDlgItem(dialog, static_cast<int>(controlId));
    return control ? win::WindowText(control) : std::string();
}

bool OnKeyUp(SetupContext& context, HWND window, WPARAM key, UINT_PTR controlId) {
    if (key != VK_TAB && key != VK_RETURN) return false;
    HWND dialog = context.dialog;
    if (CheckField(context, static_cast<int>(controlId), FieldText(dialog, controlId))) {
        ::SendMessageA(dialog, WM_NEXTDLGCTL, 0, 0);
        return false;
    }
    ::SetFocus(window);
    ::SendMessageA(window, EM_SETSEL, 0, -1);
    ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
    return true;
}

// A press on the drop-down button of a directory box opens the folder picker;
// the release that follows is swallowed so the list does not open either.
bool OnMouseButton(SetupContext& context, HWND window, UINT message, LPARAM lParam, UINT_PTR controlId) {
    HWND combo = static_cast<UINT_PTR>(::GetDlgCtrlID(window)) == controlId ? window : ::GetParent(window);
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetComboBoxInfo(combo, &info)) return false;
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::MapWindowPoints(window, combo, &point, 1);
    if (!::PtInRect(&info.rcButton, point)) return false;
    if (message == WM_LBUTTONDOWN) BrowseForField(context, static_cast<int>(controlId));
    return true;
}

LRESULT HandleFieldMessage(SetupContext& context, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           UINT_PTR controlId) {
    switch (message) {
        case WM_GETDLGCODE:
            return DLGC_WANTTAB | DLGC_WANTALLKEYS;
        case WM_KEYDOWN:
            if (wParam == VK_F4 && IsDirectoryBox(controlId) && !(::GetKeyState(VK_MENU) & 0x8000)) {
                BrowseForField(context, static_cast<int>(controlId));
                return 0;
            }
            break;
        case WM_KEYUP:
            if (OnKeyUp(context, window, wParam, controlId)) return 0;
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (IsDirectoryBox(controlId) && OnMouseButton(context, window, message, lParam, controlId)) return 0;
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(window, FieldSubclassProc, controlId);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK FieldSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR controlId,
                                   DWORD_PTR referenceData) {
    SetupContext* context = reinterpret_cast<SetupContext*>(referenceData);
    if (!context) return ::DefSubclassProc(window, message, wParam, lParam);
    try {
        return HandleFieldMessage(*context, window, message, wParam, lParam, controlId);
    } catch (...) {
        // Nothing may unwind into the system's window code.
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
}

void InstallFieldNavigation(SetupContext& context, HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    if (!control) return;
    const DWORD_PTR reference = reinterpret_cast<DWORD_PTR>(&context);
    ::SetWindowSubclass(control, FieldSubclassProc, controlId, reference);
    if (!IsComboBox(control)) return;
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetComboBoxInfo(control, &info)) return;
    if (info.hwndItem) ::SetWindowSubclass(info.hwndItem, FieldSubclassProc, controlId, reference);
    if (info.hwndList) ::SetWindowSubclass(info.hwndList, FieldSubclassProc, controlId, reference);
}

std::optional<std::string> ReadControlText(HWND control) {
    if (!control || !::IsWindow(control)) return std::nullopt;
    const std::string cls = ClassName(control);
    if (cls.empty()) return std::nullopt;
    HWND parent = ::GetParent(control);
    HWND combo = nullptr;
    if (text::EqualsNoCase(cls, "ComboBox")) {
        combo = control;
    } else if ((text::EqualsNoCase(cls, "Edit") || text::EqualsNoCase(cls, "ListBox")) && IsComboBox(parent)) {
        combo = parent;
    }
    if (combo) {
        if ((::GetWindowLongA(combo, GWL_STYLE) & 3) == CBS_DROPDOWNLIST) {
            const LRESULT selection = ::SendMessageA(combo, CB_GETCURSEL, 0, 0);
            if (selection == CB_ERR) return std::string();
            return ListItemText(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, selection);
        }
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        HWND edit = ::GetComboBoxInfo(combo, &info) && info.hwndItem ? info.hwndItem : combo;
        return win::WindowText(edit);
    }
    if (text::EqualsNoCase(cls, "ListBox")) {
        const LRESULT selection = ::SendMessageA(control, LB_GETCURSEL, 0, 0);
        if (selection == LB_ERR) return std::string();
        return ListItemText(control, LB_GETTEXTLEN, LB_GETTEXT, selection);
    }
    return win::WindowText(control);
}
