// Cancel during a run: where the run stops, what it keeps and how it ends.
#include <gtest/gtest.h>

#include "core/progress.h"
#include "setup/finish.h"
#include "setup/run_sequence.h"
#include "support/dialog_fixture.h"
#include "support/recording_observer.h"

namespace {

class CancelPoints : public ContextTest {};

TEST_F(CancelPoints, BetweenProductsGoOnUntilCancelAndThenNameWhatWasKept) {
    const std::vector<std::string> kept = {"the copy of the setup in C:\\x\\CorvantaSetup.exe",
                                           "the client in c:\\Corvanta10App\\, installed and registered"};
    EXPECT_FALSE(StoppedByCancel(context, kept));
    EXPECT_FALSE(context.report.cancelled);
    EXPECT_EQ(LogText(), "");
    context.cancel.Request();
    EXPECT_TRUE(StoppedByCancel(context, kept));
    EXPECT_TRUE(context.report.cancelled);
    EXPECT_EQ(LogText(),
              "User Interface:Kept after Cancel: the copy of the setup in C:\\x\\CorvantaSetup.exe\r\n"
              "User Interface:Kept after Cancel: the client in c:\\Corvanta10App\\, installed and registered\r\n");
    EXPECT_EQ(context.report.failedSteps, 0);
}

TEST_F(CancelPoints, ACancelledRunEndsWith1602WhateverElseFailed) {
    context.report.cancelled = true;
    context.report.failedSteps = 2;
    FinishProcess(context);
    EXPECT_EQ(host.exitCode, 1602u);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, "Setup was cancelled");
    EXPECT_NE(LogText().find("User Interface:Setup was cancelled\r\n"), std::string::npos);
}

TEST_F(CancelPoints, ACancelNobodyConfirmedLeavesTheRunAsItEnds) {
    // Asked for but never seen by a cancel point: the run had ended anyway.
    context.cancel.Request();
    FinishProcess(context);
    EXPECT_EQ(host.exitCode, 0u);
}

TEST_F(CancelPoints, TheTokenClosesTheTrackedRequestOnceAndEndsWhatWaitsOnItsEvent) {
    EXPECT_EQ(::WaitForSingleObject(context.cancel.Event(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    HINTERNET session = ::WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    context.cancel.Track(session);
    context.cancel.Request();
    EXPECT_EQ(::WaitForSingleObject(context.cancel.Event(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(context.cancel.Untrack(session)) << "Cancel closed it; its owner must not close it again";
    HINTERNET late = ::WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    context.cancel.Track(late);  // a request opened after Cancel is closed at once
    EXPECT_FALSE(context.cancel.Untrack(late));
    HINTERNET other = ::WinHttpOpen(L"test", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    EXPECT_TRUE(context.cancel.Untrack(other)) << "never tracked: its owner closes it";
    ::WinHttpCloseHandle(other);
}

TEST_F(CancelPoints, TheBarMovesInsideTheShareOfAStep) {
    auto* observer = new RecordingObserver;
    context.Watch(std::unique_ptr<RunObserver>(observer));
    context.progress.total = 100;
    context.progress.done = 20;
    const struct {
        StepShare share;
        double fraction;
        int percent;
    } cases[] = {
        {{10, 0, 2}, 0.0, 20}, {{10, 0, 2}, 1.0, 25},  {{10, 1, 2}, 0.5, 27},
        {{10, 1, 2}, 1.0, 30}, {{10, 1, 2}, 7.0, 30},  // never beyond the step
        {{10, 0, 1}, -1.0, 20}, {{0, 0, 1}, 0.5, 20},  // a share without weight moves nothing
    };
    for (const auto& c : cases) {
        observer->progress.clear();
        ShowShareProgress(context, c.share, c.fraction);
        ASSERT_EQ(observer->progress.size(), 1u);
        EXPECT_EQ(observer->progress[0], c.percent) << c.share.part << "/" << c.share.parts << " at " << c.fraction;
    }
    EXPECT_EQ(context.progress.done, 20) << "only a finished step advances the progress done";
}

}  // namespace
