#pragma once
// Control ids of DriverTarget.exe, the dialog the driver's own tests drive.
#define IDD_TARGET 100
#define IDC_FIRST_FIELD 101
#define IDC_CHOICE 102          // drop-down combo box: Alpha, Beta, Gamma; Beta selected
#define IDC_SECOND_FIELD 103
#define IDC_FIXED_LIST 104      // drop-down list without an edit part
#define IDC_HIDDEN_FIELD 105
#define IDC_DISABLED_FIELD 106
#define IDC_ASK 107             // Yes/No/Cancel box; the answer goes to IDC_ANSWER
#define IDC_BUSY 108            // keeps the dialog's thread busy for BUSY_MS
#define IDC_ANSWER 109
#define IDC_KEY_LOG 110         // one line per keyboard message the fields received
#define IDC_LEFT 111
#define IDC_RIGHT 112
#define IDC_TICK 113
#define IDC_STATUS 114
#define IDC_PROGRESS 115        // created at run time at position 42
#define IDC_NOTIFY 116          // an OK-only box

#define TARGET_CAPTION "UiDriver Target"
#define BUSY_MS 2500
