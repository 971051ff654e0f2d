#pragma once
// Reading and changing the controls of a dialog of another process.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace uidriver {

// The dialog's control with this id; a missing one is a DriverError.
HWND Control(HWND dialog, int id);
bool IsComboBox(HWND control);
// Where a user types: the edit part of a combo box, or the edit box itself;
// nullptr for a control without one (a drop-down list, a button).
HWND TypingTarget(HWND control);

bool IsShown(HWND control);    // the control and every parent are visible
bool IsEnabled(HWND control);  // the control and its dialog take input
// Refuses, with the action in the message, a control a user could not reach.
// Hidden: refused at once; disabled: waited for up to ENABLE_WAIT_MS, then refused.
constexpr int ENABLE_WAIT_MS = 5000;
void RequireReachable(HWND control, const char* action);

// The control's text: the caption of a static or button (read also while
// the dialog's thread is busy), the typed text of an edit or combo box, the
// selected item of a drop-down list.
std::string ControlText(HWND control);
// Replaces the text of an edit box or of a combo box's edit part.
void SetControlText(HWND control, std::string_view text);

struct ComboContents {
    std::vector<std::string> items;
    int selection = -1;  // CB_ERR when nothing is selected
};
ComboContents ReadCombo(HWND combo);

// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE.
int CheckState(HWND button);
int ProgressPosition(HWND bar);

// Gives the control the focus the way the dialog itself moves it.
void FocusControl(HWND dialog, HWND control);
// The window that has the keyboard focus in the dialog's thread, or nullptr.
HWND FocusedWindow(HWND dialog);
// The id of the control with the focus (a combo box for its edit part), or
// 0 when no control of this dialog has it.
int FocusedControlId(HWND dialog);

// Clicks a visible, enabled button and waits until the click was handled
// (or the dialog went on to long work).
void Click(HWND dialog, HWND button);

}  // namespace uidriver
