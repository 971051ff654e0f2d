// The dialog watching a run from another thread: texts, the bar and the
// questions reach it through its messages, and the run's thread never
// touches the window itself.
#include "ui/dialog_observer.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "core/context.h"
#include "resources/resource.h"
#include "support/dialog_fixture.h"

namespace {

class DialogObserving : public ContextTest {
protected:
    void SetUp() override { OpenDialog(IDD_SETUP, MODE_INSTALL); }
    int Bar() { return static_cast<int>(::SendMessageA(Control(IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0)); }
    // Runs the work on a thread of its own while this thread handles the
    // dialog's messages, as the message loop does during a run.
    template <typename Work>
    void OnRunThread(Work work) {
        std::atomic<bool> done{false};
        std::thread run([&] {
            work();
            done = true;
        });
        for (int i = 0; i < 500 && !done; ++i) {
            PumpMessages();
            ::Sleep(5);
        }
        run.join();
        PumpMessages();
    }
};

TEST_F(DialogObserving, ShowsWhatTheRunThreadTellsOnceTheDialogHandlesIt) {
    OnRunThread([&] {
        context.SetStatus("Downloading Server Setup");
        context.observer->Progress(42);
        context.Log(LOG_SERVER, "Extracting", "TCrvx.cab");
    });
    EXPECT_EQ(ControlText(IDC_STATUS_LINE), "Server Setup:Extracting;TCrvx.cab\r\n") << "the last one shown wins";
    EXPECT_EQ(Bar(), 42);
}

TEST_F(DialogObserving, ChangesTheDialogAtOnceFromItsOwnThread) {
    context.SetStatus("Checking whether SQL Server installed");
    context.observer->Progress(7);
    EXPECT_EQ(ControlText(IDC_STATUS_LINE), "Checking whether SQL Server installed");
    EXPECT_EQ(Bar(), 7);
}

TEST_F(DialogObserving, AsksTheUserOnTheDialogsThreadAndGivesTheAnswerBack) {
    host.Answer(IDNO);
    int answer = 0;
    DWORD askingThread = 0;
    OnRunThread([&] {
        askingThread = ::GetCurrentThreadId();
        answer = context.Ask("VC_redist exited with code 5", "Installer", MB_OK | MB_ICONWARNING);
    });
    EXPECT_EQ(answer, IDNO);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "VC_redist exited with code 5");
    EXPECT_EQ(host.boxes[0].caption, "Installer");
    EXPECT_NE(askingThread, ::GetCurrentThreadId());
}

TEST_F(DialogObserving, WithoutAWatcherOnlyTheLogHearsTheRun) {
    context.Watch(nullptr);
    context.SetStatus("not shown");
    context.Log(LOG_UI, "logged only");
    EXPECT_NE(ControlText(IDC_STATUS_LINE), "not shown");
    EXPECT_NE(LogText().find("User Interface:logged only\r\n"), std::string::npos);
}

}  // namespace
