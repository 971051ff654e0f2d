#include "setup/run_sequence.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"
#include "core/progress.h"
#include "support/dialog_fixture.h"

namespace {

class RunSequence : public ContextTest {
protected:
    int BarPosition() { return static_cast<int>(::SendMessageA(Control(IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0)); }
};

TEST_F(RunSequence, StartsTheBarByTheChosenSteps) {
    OpenDialog(IDD_SETUP, MODE_INSTALL);
    context.setupFlags = SETUP_CLIENT;
    SetProgressWeights(context);
    EXPECT_EQ(context.progress.total, 14);
    EXPECT_EQ(BarPosition(), 38);
    AdvanceProgress(context, context.progress.clientWeight1 + context.progress.clientWeight2);
    EXPECT_EQ(BarPosition(), 81);
    context.setupFlags = SETUP_CLIENT | SETUP_SERVER | SETUP_INSTALL_SQL;
    SetProgressWeights(context);
    EXPECT_EQ(context.progress.total, 69);
    EXPECT_EQ(BarPosition(), 7);
    context.setupFlags = SETUP_SERVER;
    SetProgressWeights(context);
    EXPECT_EQ(context.progress.total, 30);
    EXPECT_EQ(ProgressPercent(1, 0), 0);
}

TEST_F(RunSequence, CopiesTheSetupProgramOverAnEarlierCopy) {
    EXPECT_EQ(SetupCopyPath(), "C:\\Program Files\\TovinSoft\\CorvantaAI\\CorvantaSetup.exe")
        << "the known Program Files folder of a standard machine";
    ::CreateDirectoryA("C:\\Program Files\\TovinSoft", nullptr);
    ::CreateDirectoryA(SetupCopyFolder().c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(SetupCopyPath(), "an earlier copy"));
    CopySetupProgram(context);
    EXPECT_TRUE(host.boxes.empty());
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(ReadFileText(SetupCopyPath()), ReadFileText(self));
    EXPECT_NE(LogText().find("User Interface:Permissions of C:\\Program Files\\TovinSoft\\CorvantaAI set to "
                             "administrators only\r\n"),
              std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(RunSequence, TellsOneFileFromAnotherByIdentityNotByName) {
    ASSERT_TRUE(WriteFileText(startFolder / "a.exe", "one"));
    ASSERT_TRUE(WriteFileText(startFolder / "b.exe", "one"));
    EXPECT_TRUE(IsSameFile(startFolder / "a.exe", startFolder / "A.EXE"));
    EXPECT_TRUE(IsSameFile(startFolder / "a.exe", startFolder / "sub\\..\\a.exe"));
    EXPECT_FALSE(IsSameFile(startFolder / "a.exe", startFolder / "b.exe"));
    EXPECT_FALSE(IsSameFile(startFolder / "a.exe", startFolder / "missing.exe"));
}

TEST_F(RunSequence, ACopyInUseCannotBeReplacedAndTheRunGoesOn) {
    CopySetupProgram(context);
    // The running copy is held open by its own process.
    HANDLE running = ::CreateFileA(SetupCopyPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    context.Log(LOG_UI, "Begin updating Software");
    CopySetupProgram(context);
    ::CloseHandle(running);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Copy failed");
    EXPECT_EQ(host.boxes[0].caption, "Error");
    EXPECT_EQ(host.standardOutput.rfind("Copying Targets: Error 32: ", 0), 0u) << host.standardOutput;
    EXPECT_NE(LogText().find("User Interface:Copy failed;" + SetupCopyPath()), std::string::npos);
    EXPECT_EQ(context.report.failedSteps, 1) << "a copy that failed is a failed step";
    EXPECT_EQ(CopyFailureText(0, ""), "Copying Targets: No error.\n");
    EXPECT_EQ(CopyFailureText(5, ""), "Copying Targets: Error 5 (no message found).\n");
}

}  // namespace
