// Reading and changing the controls of another process's dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/messaging.h"
#include "testbed/uidriver/tests/driver_fixture.h"

namespace {

using uidriver::DriverError;
using ControlTest = TargetTest;

TEST_F(ControlTest, TextTypedIntoAFieldOrAComboBoxIsReadBackWhole) {
    const std::string longText(5000, 'x');
    uidriver::SetControlText(Item(IDC_FIRST_FIELD), "c:\\Program Files\\TovinSoft");
    uidriver::SetControlText(Item(IDC_CHOICE), "Delta");
    uidriver::SetControlText(Item(IDC_SECOND_FIELD), longText);
    EXPECT_EQ(uidriver::ControlText(Item(IDC_FIRST_FIELD)), "c:\\Program Files\\TovinSoft");
    EXPECT_EQ(uidriver::ControlText(Item(IDC_CHOICE)), "Delta");
    EXPECT_EQ(uidriver::ControlText(Item(IDC_SECOND_FIELD)), longText);
    uidriver::SetControlText(Item(IDC_FIRST_FIELD), "");
    EXPECT_EQ(uidriver::ControlText(Item(IDC_FIRST_FIELD)), "");
}

TEST_F(ControlTest, TypingIsRefusedWhereAUserCouldNotType) {
    EXPECT_THROW(uidriver::SetControlText(Item(IDC_FIXED_LIST), "Three"), DriverError);
    EXPECT_THROW(uidriver::SetControlText(Item(IDC_ASK), "Tell"), DriverError);
    EXPECT_THROW(uidriver::SetControlText(Item(IDC_HIDDEN_FIELD), "x"), DriverError);
    EXPECT_THROW(uidriver::SetControlText(Item(IDC_DISABLED_FIELD), "x"), DriverError);
    EXPECT_EQ(uidriver::ControlText(Item(IDC_ASK)), "Ask");
    EXPECT_EQ(uidriver::ControlText(Item(IDC_HIDDEN_FIELD)), "");
}

TEST_F(ControlTest, ComboBoxesReportTheirItemsAndSelection) {
    uidriver::ComboContents choice = uidriver::ReadCombo(Item(IDC_CHOICE));
    EXPECT_EQ(choice.items, (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(choice.selection, 1);
    uidriver::ComboContents fixed = uidriver::ReadCombo(Item(IDC_FIXED_LIST));
    EXPECT_EQ(fixed.items, (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(fixed.selection, 0);
    EXPECT_EQ(uidriver::ControlText(Item(IDC_FIXED_LIST)), "One");
    EXPECT_THROW(uidriver::ReadCombo(Item(IDC_FIRST_FIELD)), DriverError);
}

TEST_F(ControlTest, VisibilityEnablingChecksAndProgressAreReported) {
    EXPECT_TRUE(uidriver::IsShown(Item(IDC_FIRST_FIELD)));
    EXPECT_TRUE(uidriver::IsEnabled(Item(IDC_FIRST_FIELD)));
    EXPECT_FALSE(uidriver::IsShown(Item(IDC_HIDDEN_FIELD)));
    EXPECT_TRUE(uidriver::IsEnabled(Item(IDC_HIDDEN_FIELD)));
    EXPECT_TRUE(uidriver::IsShown(Item(IDC_DISABLED_FIELD)));
    EXPECT_FALSE(uidriver::IsEnabled(Item(IDC_DISABLED_FIELD)));

    EXPECT_EQ(uidriver::CheckState(Item(IDC_TICK)), BST_CHECKED);
    EXPECT_EQ(uidriver::CheckState(Item(IDC_LEFT)), BST_UNCHECKED);
    EXPECT_EQ(uidriver::CheckState(Item(IDC_RIGHT)), BST_CHECKED);
    EXPECT_THROW(uidriver::CheckState(Item(IDC_FIRST_FIELD)), DriverError);

    EXPECT_EQ(uidriver::ProgressPosition(Item(IDC_PROGRESS)), 42);
    EXPECT_THROW(uidriver::ProgressPosition(Item(IDC_STATUS)), DriverError);
    EXPECT_THROW(uidriver::Control(dialog, 999), DriverError);
}

TEST_F(ControlTest, TheFocusIsReportedByControlAndAComboBoxForItsEditPart) {
    uidriver::FocusControl(dialog, Item(IDC_CHOICE));
    EXPECT_EQ(uidriver::ClassName(uidriver::FocusedWindow(dialog)), "Edit");
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_CHOICE);
    uidriver::FocusControl(dialog, Item(IDC_SECOND_FIELD));
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_SECOND_FIELD);
    EXPECT_THROW(uidriver::FocusControl(dialog, Item(IDC_HIDDEN_FIELD)), DriverError);
    EXPECT_EQ(uidriver::FocusedControlId(dialog), IDC_SECOND_FIELD);
}

TEST_F(ControlTest, ClickingAButtonRunsItsCommandButNotWhenItIsHiddenOrDisabled) {
    uidriver::Click(dialog, Item(IDOK));
    EXPECT_EQ(Answer(), "answer: OK button");
    ::EnableWindow(Item(IDC_ASK), FALSE);
    EXPECT_THROW(uidriver::Click(dialog, Item(IDC_ASK)), DriverError);
    ::ShowWindow(Item(IDC_NOTIFY), SW_HIDE);
    EXPECT_THROW(uidriver::Click(dialog, Item(IDC_NOTIFY)), DriverError);
    EXPECT_TRUE(target.Boxes().empty());
}

TEST_F(ControlTest, StaticTextsAreReadWhileTheDialogIsBusy) {
    uidriver::PostOrThrow(Item(IDC_BUSY), BM_CLICK, 0, 0, "click");
    ASSERT_TRUE(uidriver::WaitUntil(2000, [&] { return uidriver::ControlText(Item(IDC_STATUS)) == "sleeping"; }));
    // The thread sleeps: a wait for it gives up, a read of a static does not need it.
    EXPECT_FALSE(uidriver::Settle(dialog, 200));
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_EQ(uidriver::ControlText(Item(IDC_STATUS)), "sleeping");
    EXPECT_LT(::GetTickCount64() - before, 500u);
    EXPECT_TRUE(uidriver::Settle(dialog, BUSY_MS * 2));
    EXPECT_EQ(uidriver::ControlText(Item(IDC_STATUS)), "awake");
}

TEST_F(ControlTest, DialogsAreFoundByExactCaptionAndProcess) {
    EXPECT_EQ(uidriver::FindDialog(TARGET_CAPTION, target.ProcessId()), dialog);
    EXPECT_FALSE(uidriver::FindDialog("UiDriver", target.ProcessId()));
    EXPECT_FALSE(uidriver::FindDialog(TARGET_CAPTION, ::GetCurrentProcessId()));
    EXPECT_THROW(uidriver::RequireDialog("No Such Dialog"), DriverError);
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_THROW(uidriver::WaitForDialog("No Such Dialog", 300), DriverError);
    EXPECT_GE(::GetTickCount64() - before, 300u);
    const RECT rect = uidriver::ScreenRect(dialog);
    EXPECT_GT(rect.right, rect.left);
    EXPECT_GT(rect.bottom, rect.top);
}

}  // namespace
