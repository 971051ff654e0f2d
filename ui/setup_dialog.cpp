#include "ui/setup_dialog.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <initializer_list>

#include "core/context.h"
#include "resources/resource.h"
#include "core/setup_log.h"
#include "ui/dialog_observer.h"
#include "ui/field_navigation.h"
#include "ui/folder_picker.h"
#include "ui/ok_sequence.h"
#include "ui/run_thread.h"
#include "ui/sql_check.h"

namespace {

// Controls that take part in the field-to-field navigation, in hook order.
constexpr int HOOKED_FIELDS[] = {IDC_SETUP_TYPE, IDC_EDITION,  IDC_CLIENT_DIRECTORY, IDC_SEARCH,
                                 IDC_SERVER_DIRECTORY, IDC_BIT_SIZE, IDC_PORT,  IDC_HOSTS,
                                 IDC_INSTALL_SQL, IDC_PASSWORD, IDC_PASSWORD_REPEAT, IDC_PROXY_SERVER};
// The maintenance dialog's buttons are drawn unthemed so they take our colours.
constexpr int UNTHEMED_CONTROLS[] = {IDC_APPLY_SERVER, IDC_APPLY_CLIENT, IDC_UNINSTALL,
                                     IDC_REPAIR,       IDC_ACTION_GROUP, IDC_APPLY_GROUP};

void FillCombo(HWND dialog, int id, std::initializer_list<const char*> items, int selected) {
    HWND combo = ::GetDlgItem(dialog, id);
    if (!combo) return;
    ::SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    int index = 0;
    for (const char* item : items) {
        ::SendMessageA(combo, CB_INSERTSTRING, index++, reinterpret_cast<LPARAM>(item));
    }
    ::SendMessageA(combo, CB_SETCURSEL, selected, 0);
}

void CreateStatusControls(HWND dialog) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    RECT client = {};
    ::GetClientRect(dialog, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HWND status = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOPREFIX, 16, height - 38, width - 32,
                                    22, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_LINE)),
                                    theInstance, nullptr);
    // Created controls start with the system font; they take the dialog's.
    const WPARAM font = static_cast<WPARAM>(::SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (status) ::SendMessageA(status, WM_SETFONT, font, FALSE);
    HWND bar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 16, height - 62, width - 32, 18,
                                 dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS_BAR)),
                                 theInstance, nullptr);
    if (bar) {
        ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        ::SendMessageA(bar, PBM_SETPOS, 0, 0);
    }
}

void AskCancel(SetupContext& context) {
    if (RunGoesOn(context) && context.cancel.Requested()) return;  // asked once, the run is stopping
    const int answer = context.host.ShowBox(::GetActiveWindow(), "Do you want to Cancel", "TovinSoft Corvanta v 10.1",
                                            MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONINFORMATION);
    if (answer != IDYES) return;
    // During a run the run stops at its next cancel point and ends the
    // process itself; before OK the process ends at once.
    if (RunGoesOn(context)) {
        context.cancel.Request();
        if (HWND cancel = ::GetDlgItem(context.dialog, IDCANCEL)) ::EnableWindow(cancel, FALSE);
        return;
    }
    context.host.EndProcess(0);
}

INT_PTR OnCommand(SetupContext& context, HWND dialog, int id) {
    switch (id) {
        case IDOK:
            OnOk(context);
            return TRUE;
        case IDCANCEL:
            AskCancel(context);
            return TRUE;
        case IDC_DARK_MODE:
            ToggleColourScheme(context);
            return TRUE;
        case IDC_SEARCH:
            SearchForInstallation(context);
            return TRUE;
        case IDC_PROXY_BUTTON:
            ShowControl(context, IDC_PROXY_LABEL, true);
            ShowControl(context, IDC_PROXY_SERVER, true);
            RedrawDialog(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR OnInitDialog(SetupContext& context, HWND dialog) {
    context.dialog = dialog;  // the hooks and the colours look the context up through it
    for (int id : HOOKED_FIELDS) InstallFieldNavigation(context, dialog, id);
    context.backgroundBrush.Reset(::CreateSolidBrush(context.backColour));
    for (int id : UNTHEMED_CONTROLS) {
        if (HWND control = ::GetDlgItem(dialog, id)) ::SetWindowTheme(control, L"", L"");
    }
    InitSetupDialog(context, dialog);
    return TRUE;
}

}  // namespace

SetupContext* ContextOf(HWND dialog) {
    return reinterpret_cast<SetupContext*>(::GetWindowLongPtrA(dialog, DWLP_USER));
}

HWND CreateSetupDialog(SetupContext& context, int templateId) {
    return ::CreateDialogParamA(theInstance, MAKEINTRESOURCEA(templateId), nullptr, SetupDialogProc,
                                reinterpret_cast<LPARAM>(&context));
}

std::vector<HWND> LockControls(SetupContext& context) {
    // The fields, OK, Search, Proxy and Dark Mode wait; Cancel stays.
    std::vector<HWND> locked;
    auto lock = [&](int id) {
        HWND control = ::GetDlgItem(context.dialog, id);
        if (control && ::IsWindowEnabled(control)) {
            ::EnableWindow(control, FALSE);
            locked.push_back(control);
        }
    };
    for (int id : HOOKED_FIELDS) lock(id);
    for (int id : {IDOK, IDC_SEARCH, IDC_PROXY_BUTTON, IDC_DARK_MODE, IDC_UNINSTALL, IDC_REPAIR, IDC_APPLY_SERVER,
                   IDC_APPLY_CLIENT}) {
        lock(id);
    }
    return locked;
}

void UnlockControls(const std::vector<HWND>& controls) {
    for (HWND control : controls) ::EnableWindow(control, TRUE);
}

void LockForRun(SetupContext& context) { LockControls(context); }

void RedrawDialog(HWND dialog) {
    ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
}

void ToggleColourScheme(SetupContext& context) {
    context.textColour = WHITE_TEXT;
    if (context.themeState == 1) {
        context.themeState = 2;
        context.backColour = 0;
    } else {
        context.themeState = 1;
        context.backColour = BLUE_BACKGROUND;
    }
    context.backgroundBrush.Reset(::CreateSolidBrush(context.backColour));
    if (context.dialog) RedrawDialog(context.dialog);
}

int InitSetupDialog(SetupContext& context, HWND dialog) {
    context.dialog = dialog;
    context.Watch(MakeDialogObserver(context, dialog));
    context.proxy = Blanks(10);
    context.hosts = Blanks(10);
    if (context.modeFlags & MODE_REPAIR) {
        ::CheckRadioButton(dialog, IDC_UNINSTALL, IDC_REPAIR, IDC_REPAIR);
    } else if (context.modeFlags & MODE_UNINSTALL) {
        ::CheckRadioButton(dialog, IDC_UNINSTALL, IDC_REPAIR, IDC_UNINSTALL);
    }
    FillCombo(dialog, IDC_SETUP_TYPE, {"Client", "Server", "Both"}, 2);
    FillCombo(dialog, IDC_EDITION, {"Summit", "Crew", "Staple", "Starter"}, 3);
    FillCombo(dialog, IDC_BIT_SIZE, {"64 Bit", "AI Client", "32 Bit"}, 0);
    FillCombo(dialog, IDC_INSTALL_SQL, {"Yes", "No"}, 0);
    FillCombo(dialog, IDC_SERVER_DIRECTORY,
              {"c:\\TCorvanta10", "c:\\Program Files\\TovinSoft\\Corvanta10\\", "d:\\TCorvanta10"}, 0);
    if (context.modeFlags & MODE_INSTALL) {
        ShowFieldGroup(context, SETUP_CLIENT, true);
        ShowFieldGroup(context, SETUP_SERVER, false);
    }
    CreateStatusControls(dialog);
    context.SetStatus("Please use Tab/Enter to go to next field.");
    return 0;
}

namespace {

INT_PTR HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SetupContext* context = reinterpret_cast<SetupContext*>(lParam);
        return context ? OnInitDialog(*context, dialog) : TRUE;
    }
    SetupContext* context = ContextOf(dialog);
    if (!context) return FALSE;
    INT_PTR result = FALSE;
    if (HandleRunMessage(*context, dialog, message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_RUN_DONE:
            EndRun(*context);
            return TRUE;
        case WM_SQL_CHECK:
            BeginSqlDetection(*context);
            return TRUE;
        case WM_SQL_CHECKED:
            EndSqlDetection(*context, wParam != 0);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(*context, dialog, LOWORD(wParam));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, context->textColour);
            return reinterpret_cast<INT_PTR>(context->backgroundBrush.Get());
        }
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(context->backgroundBrush.Get());
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return HandleDialogMessage(dialog, message, wParam, lParam);
    } catch (...) {
        return FALSE;  // nothing may unwind into the system's dialog code
    }
}
