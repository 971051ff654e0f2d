// The real CorvantaSetup.exe started in the test machine: the command line
// chooses the dialog, and Cancel confirmed with Yes ends the program quietly.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "testbed/uidriver/controls.h"
#include "tests/e2e/harness.h"

namespace {

using uidriver::BoxButton;

constexpr char SETUP_CAPTION[] = "TovinSoft Corvanta v10.1 Setup";
constexpr char MAINTENANCE_CAPTION[] = "Uninstall, Modify or Repair";
constexpr char CANCEL_QUESTION[] = "Do you want to Cancel";
constexpr char CANCEL_CAPTION[] = "TovinSoft Corvanta v 10.1";

struct StartCase {
    const char* name;
    const char* commandLine;
    const char* caption;        // the dialog that must open
    const char* otherCaption;   // the one that must not
    int checkedAction;          // the maintenance action checked at the start; 0 for the setup dialog
};

const StartCase START_CASES[] = {
    {"Empty", "", SETUP_CAPTION, MAINTENANCE_CAPTION, 0},
    {"Install", "install", SETUP_CAPTION, MAINTENANCE_CAPTION, 0},
    {"Modify", "/modify /type=client", SETUP_CAPTION, MAINTENANCE_CAPTION, 0},
    {"Repair", "/repair /type=server", MAINTENANCE_CAPTION, SETUP_CAPTION, IDC_REPAIR},
    {"Uninstall", "/uninstall /type=client", MAINTENANCE_CAPTION, SETUP_CAPTION, IDC_UNINSTALL},
    {"UpperCase", "UNINSTALL", SETUP_CAPTION, MAINTENANCE_CAPTION, 0},  // the words are matched in lower case only
};

std::string SetupProgram() { return e2e::WindowsPath(CORVANTA_SETUP_EXE); }

// Clicks Cancel and returns the question it asks, checked for its caption
// and its three buttons.
uidriver::MessageBoxInfo AskToCancel(const e2e::ProgramRun& run, HWND dialog) {
    uidriver::Click(dialog, uidriver::Control(dialog, IDCANCEL));
    uidriver::MessageBoxInfo box = run.WaitForBox(CANCEL_QUESTION);
    EXPECT_EQ(box.text, CANCEL_QUESTION);
    EXPECT_EQ(box.caption, CANCEL_CAPTION);
    for (int button : {IDYES, IDNO, IDCANCEL}) {
        EXPECT_TRUE(::GetDlgItem(box.window, button)) << "button " << button;
    }
    EXPECT_FALSE(::GetDlgItem(box.window, IDOK));
    return box;
}

class StartupTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartupTest, OpensTheDialogOfItsCommandLineAndCancelConfirmedEndsWithZeroAndNoLog) {
    const StartCase& start = GetParam();
    e2e::ProgramRun run(SetupProgram());
    run.Start(start.commandLine);
    HWND dialog = run.WaitForDialog(start.caption);
    EXPECT_FALSE(run.FindDialog(start.otherCaption));
    EXPECT_TRUE(uidriver::IsShown(dialog));

    if (start.checkedAction) {
        const int otherAction = start.checkedAction == IDC_REPAIR ? IDC_UNINSTALL : IDC_REPAIR;
        EXPECT_EQ(uidriver::CheckState(uidriver::Control(dialog, start.checkedAction)), BST_CHECKED);
        EXPECT_EQ(uidriver::CheckState(uidriver::Control(dialog, otherAction)), BST_UNCHECKED);
    }

    uidriver::AnswerMessageBox(AskToCancel(run, dialog), BoxButton::Yes);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_FALSE(run.HasLog()) << run.LogText();
}

std::string CaseName(const ::testing::TestParamInfo<StartCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(CommandLines, StartupTest, ::testing::ValuesIn(START_CASES), CaseName);

TEST(CancelQuestion, AnsweredNoOrCancelLeavesTheDialogOpenAndRunning) {
    e2e::ProgramRun run(SetupProgram());
    run.Start("");
    HWND dialog = run.WaitForDialog(SETUP_CAPTION);

    for (BoxButton answer : {BoxButton::No, BoxButton::Cancel}) {
        uidriver::AnswerMessageBox(AskToCancel(run, dialog), answer);
        EXPECT_TRUE(run.Boxes().empty()) << uidriver::BoxButtonName(answer);
        EXPECT_FALSE(run.WaitForExit(300).has_value()) << uidriver::BoxButtonName(answer);
        EXPECT_EQ(run.FindDialog(SETUP_CAPTION), dialog) << uidriver::BoxButtonName(answer);
        EXPECT_TRUE(uidriver::IsShown(dialog) && uidriver::IsEnabled(dialog)) << uidriver::BoxButtonName(answer);
    }
    EXPECT_FALSE(run.HasLog());

    // Still the same working dialog: asked once more, Yes ends it.
    uidriver::AnswerMessageBox(AskToCancel(run, dialog), BoxButton::Yes);
    EXPECT_EQ(run.WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
