// Message boxes of another process, and the processes the tests start.
#include <gtest/gtest.h>

#include "testbed/uidriver/controls.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/processes.h"
#include "testbed/uidriver/tests/driver_fixture.h"

namespace {

using uidriver::BoxButton;
using uidriver::DriverError;
using BoxTest = TargetTest;

TEST_F(BoxTest, AnOpenBoxIsListedWithCaptionAndTextAndTheDialogIsNone) {
    EXPECT_TRUE(target.Boxes().empty());
    EXPECT_FALSE(uidriver::IsMessageBox(dialog));
    uidriver::Click(dialog, Item(IDC_ASK));
    const uidriver::MessageBoxInfo box = target.WaitForBox("go on");
    EXPECT_EQ(box.caption, "Target Question");
    EXPECT_EQ(box.text, "Shall the target go on?");
    EXPECT_EQ(box.processId, target.ProcessId());
    ASSERT_EQ(target.Boxes().size(), 1u);
    EXPECT_EQ(target.Boxes()[0].window, box.window);
    EXPECT_FALSE(uidriver::FindMessageBox("no such words", target.ProcessId()));
    EXPECT_TRUE(uidriver::ListMessageBoxes(::GetCurrentProcessId()).empty());
    // Also found as a dialog by its caption.
    EXPECT_EQ(target.FindDialog("Target Question"), box.window);
}

TEST_F(BoxTest, EachAnswerClosesTheBoxAndReachesTheProgram) {
    const std::pair<BoxButton, const char*> answers[] = {
        {BoxButton::Yes, "answer: yes"}, {BoxButton::No, "answer: no"}, {BoxButton::Cancel, "answer: cancel"}};
    for (const auto& [button, expected] : answers) {
        uidriver::Click(dialog, Item(IDC_ASK));
        target.WaitForBox();
        target.AnswerBox(button, "go on");
        // Read at once: answering waits until the program went on.
        EXPECT_EQ(Answer(), expected);
        EXPECT_TRUE(target.Boxes().empty());
    }
}

TEST_F(BoxTest, AButtonTheBoxDoesNotShowIsRefused) {
    uidriver::Click(dialog, Item(IDC_ASK));
    const uidriver::MessageBoxInfo question = target.WaitForBox();
    EXPECT_THROW(uidriver::AnswerMessageBox(question, BoxButton::Ok), DriverError);
    target.AnswerBox(BoxButton::No);

    uidriver::Click(dialog, Item(IDC_NOTIFY));
    const uidriver::MessageBoxInfo note = target.WaitForBox("all done");
    EXPECT_EQ(note.text, "Note:\nall done");
    for (BoxButton button : {BoxButton::Yes, BoxButton::No, BoxButton::Cancel}) {
        EXPECT_THROW(uidriver::AnswerMessageBox(note, button), DriverError);
    }
    uidriver::AnswerMessageBox(note, BoxButton::Ok);
    EXPECT_EQ(Answer(), "answer: ok");
}

TEST_F(BoxTest, WaitingForABoxThatDoesNotComeTimesOut) {
    const ULONGLONG before = ::GetTickCount64();
    EXPECT_THROW(target.WaitForBox("", 300), DriverError);
    EXPECT_GE(::GetTickCount64() - before, 300u);
}

using ProcessTest = TargetTest;

TEST_F(ProcessTest, TheWholeExitCodeArrivesAndTheProgramGotItsCommandLineAndFolder) {
    EXPECT_TRUE(target.IsRunning());
    EXPECT_FALSE(target.WaitForExit(100).has_value());
    uidriver::Click(dialog, Item(IDCANCEL));
    EXPECT_EQ(target.WaitForExit(), std::optional<DWORD>(TARGET_EXIT_CODE));
    EXPECT_FALSE(target.IsRunning());
    EXPECT_EQ(target.Output(), "command line: 2147750452\nfolder: " + target.StartFolder() + "\n");
}

TEST(ProgramRun, EndsWhatStillRunsAndRemovesItsFolder) {
    HANDLE survivor = nullptr;
    std::string folder;
    {
        e2e::ProgramRun run(TargetProgram());
        run.Start("5");
        run.WaitForDialog(TARGET_CAPTION);
        folder = run.StartFolder();
        ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), run.Process(), ::GetCurrentProcess(), &survivor,
                                      SYNCHRONIZE, FALSE, 0));
    }
    win::KernelHandle process(survivor);
    EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(::GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(CommandLines, ArgumentsAreQuotedAsTheRuntimeSplitsThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"install", "install"},
        {"/type=client", "/type=client"},
        {"", "\"\""},
        {"c:\\my dir", "\"c:\\my dir\""},
        {"c:\\my dir\\", "\"c:\\my dir\\\\\""},
        {"c:\\dir\\", "c:\\dir\\"},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},
    };
    for (const auto& [argument, quoted] : cases) EXPECT_EQ(uidriver::QuoteArgument(argument), quoted) << argument;
    EXPECT_EQ(uidriver::BuildCommandLine("C:\\x y\\p.exe", {"/repair", "a b"}), "\"C:\\x y\\p.exe\" /repair \"a b\"");
    EXPECT_EQ(uidriver::BuildCommandLine("p.exe", {}), "\"p.exe\"");
    EXPECT_EQ(uidriver::JoinArguments({"", "x"}), "\"\" x");
}

TEST(Paths, TheLinuxSideIsDriveZ) {
    EXPECT_EQ(e2e::WindowsPath("/work/main/build/CorvantaSetup.exe"), "Z:\\work\\main\\build\\CorvantaSetup.exe");
    EXPECT_EQ(e2e::WindowsPath("C:\\x\\y.exe"), "C:\\x\\y.exe");
}

}  // namespace
