#include "setup/run_sequence.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "resources/resource.h"
#include "setup/progress.h"
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
    ::CreateDirectoryA("C:\\Program Files\\TovinSoft", nullptr);
    ::CreateDirectoryA(SETUP_COPY_FOLDER, nullptr);
    ASSERT_TRUE(WriteFileText(SETUP_COPY_PATH, "an earlier copy"));
    CopySetupProgram(context);
    EXPECT_TRUE(host.boxes.empty());
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_EQ(ReadFileText(SETUP_COPY_PATH), ReadFileText(self));
}

TEST_F(RunSequence, ACopyInUseCannotBeReplacedAndTheRunGoesOn) {
    CopySetupProgram(context);
    // The running copy is held open by its own process.
    HANDLE running = ::CreateFileA(SETUP_COPY_PATH, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    context.Log(LOG_UI, "Begin updating Software");
    CopySetupProgram(context);
    ::CloseHandle(running);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Copy failed");
    EXPECT_EQ(host.boxes[0].caption, "Error");
    EXPECT_EQ(host.standardOutput.rfind("Copying Targets: Error 32: ", 0), 0u) << host.standardOutput;
    EXPECT_NE(LogText().find("User Interface:Copy failed;" + std::string(SETUP_COPY_PATH)), std::string::npos);
    EXPECT_EQ(CopyFailureText(0, ""), "Copying Targets: No error.\n");
    EXPECT_EQ(CopyFailureText(5, ""), "Copying Targets: Error 5 (no message found).\n");
}

}  // namespace
