// DriverTarget.exe: a dialog shaped like the setup's for the driver's own
// tests. Like the setup it runs a message loop without IsDialogMessage, so
// its fields move the focus on Tab and Enter themselves; they record every
// keyboard message they receive, with the Shift and Alt state the thread
// sees, in the key log static. Cancel ends the process with the exit code
// given on the command line; the start is reported on standard output.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "testbed/uidriver/tests/driver_target.h"

namespace {

const char* MessageName(UINT message) {
    switch (message) {
        case WM_KEYDOWN: return "down";
        case WM_KEYUP: return "up";
        case WM_SYSKEYDOWN: return "sysdown";
        case WM_SYSKEYUP: return "sysup";
        case WM_CHAR: return "char";
        default: return nullptr;
    }
}

void SetItemText(HWND dialog, int id, const std::string& text) { ::SetDlgItemTextA(dialog, id, text.c_str()); }

void RecordKey(HWND dialog, int fieldId, UINT message, WPARAM wParam, LPARAM lParam) {
    char line[96] = {};
    std::snprintf(line, sizeof line, "%d %s %02X %08lX S%d A%d", fieldId, MessageName(message),
                  static_cast<unsigned>(wParam), static_cast<unsigned long>(lParam), ::GetKeyState(VK_SHIFT) < 0,
                  ::GetKeyState(VK_MENU) < 0);
    HWND log = ::GetDlgItem(dialog, IDC_KEY_LOG);
    const int length = ::GetWindowTextLengthA(log);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::GetWindowTextA(log, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    if (!text.empty()) text += "\n";
    ::SetWindowTextA(log, (text + line).c_str());
}

LRESULT CALLBACK FieldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR fieldId, DWORD_PTR) {
    HWND dialog = ::GetAncestor(window, GA_ROOT);
    if (MessageName(message)) RecordKey(dialog, static_cast<int>(fieldId), message, wParam, lParam);
    if (message == WM_KEYDOWN && (wParam == VK_TAB || wParam == VK_RETURN)) {
        HWND field = ::GetDlgItem(dialog, static_cast<int>(fieldId));
        const bool back = wParam == VK_TAB && ::GetKeyState(VK_SHIFT) < 0;
        ::SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetNextDlgTabItem(dialog, field, back)), TRUE);
        return 0;
    }
    if (message == WM_CHAR && (wParam == '\t' || wParam == '\r')) return 0;
    return ::DefSubclassProc(window, message, wParam, lParam);
}

void Fill(HWND dialog, int id, std::initializer_list<const char*> items, int selected) {
    for (const char* item : items) ::SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    ::SendDlgItemMessageA(dialog, id, CB_SETCURSEL, selected, 0);
}

void Init(HWND dialog) {
    Fill(dialog, IDC_CHOICE, {"Alpha", "Beta", "Gamma"}, 1);
    Fill(dialog, IDC_FIXED_LIST, {"One", "Two"}, 0);
    ::SetWindowSubclass(::GetDlgItem(dialog, IDC_FIRST_FIELD), FieldProc, IDC_FIRST_FIELD, 0);
    ::SetWindowSubclass(::FindWindowExA(::GetDlgItem(dialog, IDC_CHOICE), nullptr, "Edit", nullptr), FieldProc,
                        IDC_CHOICE, 0);
    ::SetWindowSubclass(::GetDlgItem(dialog, IDC_SECOND_FIELD), FieldProc, IDC_SECOND_FIELD, 0);
    ::CheckDlgButton(dialog, IDC_TICK, BST_CHECKED);
    ::CheckRadioButton(dialog, IDC_LEFT, IDC_RIGHT, IDC_RIGHT);
    HWND bar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 20, 300, 200, 16, dialog,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS)), nullptr, nullptr);
    ::SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendMessageA(bar, PBM_SETPOS, 42, 0);
}

const char* AnswerName(int answer) {
    switch (answer) {
        case IDYES: return "answer: yes";
        case IDNO: return "answer: no";
        case IDCANCEL: return "answer: cancel";
        case IDOK: return "answer: ok";
        default: return "answer: ?";
    }
}

unsigned exitCode = 0;

INT_PTR CALLBACK TargetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    // The driver's own messages must never reach a program.
    if (message >= 0xC000 && message <= 0xFFFF) SetItemText(dialog, IDC_ANSWER, "answer: stray message");
    switch (message) {
        case WM_INITDIALOG:
            Init(dialog);
            return TRUE;
        case WM_CLOSE:
            SetItemText(dialog, IDC_ANSWER, "answer: close");
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_ASK:
                    SetItemText(dialog, IDC_ANSWER,
                                AnswerName(::MessageBoxA(dialog, "Shall the target go on?", "Target Question",
                                                         MB_YESNOCANCEL)));
                    return TRUE;
                case IDC_NOTIFY:
                    SetItemText(dialog, IDC_ANSWER, AnswerName(::MessageBoxA(dialog, "Note:\nall done", "Target Note", MB_OK)));
                    return TRUE;
                case IDC_BUSY:
                    SetItemText(dialog, IDC_STATUS, "sleeping");
                    ::Sleep(BUSY_MS);
                    SetItemText(dialog, IDC_STATUS, "awake");
                    return TRUE;
                case IDOK:
                    SetItemText(dialog, IDC_ANSWER, "answer: OK button");
                    return TRUE;
                case IDCANCEL:
                    ::DestroyWindow(dialog);
                    ::PostQuitMessage(static_cast<int>(exitCode));
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

// Tells the tests what it was started with, on its standard output.
void ReportStart(const char* commandLine) {
    char folder[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, folder);
    const std::string report = std::string("command line: ") + commandLine + "\nfolder: " + folder + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    ReportStart(commandLine);
    exitCode = static_cast<unsigned>(std::strtoul(commandLine, nullptr, 10));
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    HWND dialog = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_TARGET), nullptr, TargetProc, 0);
    if (!dialog) return 3;
    ::ShowWindow(dialog, showCommand);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
