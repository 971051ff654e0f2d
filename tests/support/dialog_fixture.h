#pragma once
// A setup context with a scripted host and, on request, one of the real
// dialogs created from the program's own templates in this test process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setup/companions.h"
#include "support/fake_host.h"
#include "support/temp_folder.h"

class ContextTest : public ::testing::Test {
protected:
    ContextTest();
    ~ContextTest() override;

    // Opens dialog 113 or 2000 for the given mode, as the entry point would.
    HWND OpenDialog(int templateId, ModeFlags mode);
    HWND Control(int id) const { return ::GetDlgItem(context.dialog, id); }
    std::string ControlText(int id) const;
    // The control's own visibility (the dialog itself may be hidden).
    bool Visible(int id) const { return ::GetWindowLongA(Control(id), GWL_STYLE) & WS_VISIBLE; }
    bool Shown(int id) const { return Visible(id) && ::IsWindowEnabled(Control(id)); }
    void SetControlText(int id, const std::string& text);
    // The lines of the setup log written so far, after the test build's notice.
    std::string LogText() const;
    // Handles messages until the SQL Server detection of the Setup Type
    // check has ended, as the dialog's message loop would.
    void WaitForDialogChecks();
    // Handles the messages that are waiting, as the message loop would.
    static void PumpMessages();
    // Handles messages until the run started by OK has ended the process (or
    // a minute has passed); true when it has.
    bool WaitForEnd();

    FakeHost host;
    TempFolder startFolder;
    SetupProcessContext context{host};
};
