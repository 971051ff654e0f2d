// CorvantaUiDriver.exe's commands: what they accept and what they print.
#include <gtest/gtest.h>

#include <sstream>

#include "testbed/uidriver/cli.h"
#include "testbed/uidriver/dialogs.h"
#include "testbed/uidriver/driver_error.h"
#include "testbed/uidriver/processes.h"
#include "testbed/uidriver/tests/driver_fixture.h"

namespace {

using uidriver::UsageError;

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Drive(const std::vector<std::string>& words) {
    std::ostringstream out, err;
    const int code = uidriver::RunDriver(words, DriverProgram(), out, err);
    return {code, out.str(), err.str()};
}

TEST(DriverCommandLine, WrongCallsAreUsageErrors) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--pid"},
        {"--pid", "12x", "boxes"},
        {"--pid", "7"},
        {"frobnicate"},
        {"click", "Caption"},
        {"click", "Caption", "1", "2"},
        {"answer-box"},
        {"start", "C:\\"},
        {"help", "me"},
    };
    for (const std::vector<std::string>& words : wrong) {
        EXPECT_THROW(uidriver::ParseInvocation(words), UsageError) << ::testing::PrintToString(words);
        EXPECT_EQ(Drive(words).code, uidriver::EXIT_USAGE) << ::testing::PrintToString(words);
    }
    const uidriver::Invocation call = uidriver::ParseInvocation({"--pid", "260", "wait-box", "Cancel", "500"});
    EXPECT_EQ(call.processId, 260u);
    EXPECT_EQ(call.command, "wait-box");
    EXPECT_EQ(call.arguments, (std::vector<std::string>{"Cancel", "500"}));
}

TEST(DriverCommandLine, NumbersAreDecimalAndFitInThirtyTwoBits) {
    EXPECT_EQ(uidriver::ParseNumber("0", "n"), 0u);
    EXPECT_EQ(uidriver::ParseNumber("40001", "n"), 40001u);
    EXPECT_EQ(uidriver::ParseNumber("4294967295", "n"), 4294967295u);
    for (const char* wrong : {"", "-1", "4294967296", "99999999999", "0x10", "12 ", "1e3"}) {
        EXPECT_THROW(uidriver::ParseNumber(wrong, "n"), UsageError) << wrong;
    }
}

TEST(DriverCommandLine, BoxTextsKeepToOneLine) {
    EXPECT_EQ(uidriver::OneLine("a\r\nb\tc"), "a\\r\\nb\\tc");
    EXPECT_EQ(uidriver::OneLine("c:\\dir"), "c:\\dir");
}

using DriverCommandTest = TargetTest;

TEST_F(DriverCommandTest, ReadsAreAnsweredAsPlainLines) {
    const std::string pid = std::to_string(target.ProcessId());
    const std::pair<std::vector<std::string>, std::string> reads[] = {
        {{"wait-dialog", TARGET_CAPTION, "1000"}, pid + "\n"},
        {{"items", TARGET_CAPTION, "102"}, "Alpha\nBeta\nGamma\n"},
        {{"selection", TARGET_CAPTION, "102"}, "1\tBeta\n"},
        {{"text", TARGET_CAPTION, "109"}, "answer: none\n"},
        {{"checked", TARGET_CAPTION, "113"}, "checked\n"},
        {{"checked", TARGET_CAPTION, "111"}, "unchecked\n"},
        {{"visible", TARGET_CAPTION, "105"}, "hidden\n"},
        {{"visible", TARGET_CAPTION, "101"}, "visible\n"},
        {{"enabled", TARGET_CAPTION, "106"}, "disabled\n"},
        {{"enabled", TARGET_CAPTION, "101"}, "enabled\n"},
        {{"boxes", pid}, ""},
    };
    for (const auto& [words, expected] : reads) {
        const Result result = Drive(words);
        EXPECT_EQ(result.code, uidriver::EXIT_DONE) << words[0] << ": " << result.err;
        EXPECT_EQ(result.out, expected) << words[0];
    }
}

TEST_F(DriverCommandTest, TypingPressingAndAnsweringWorkAsCommands) {
    EXPECT_EQ(Drive({"set-text", TARGET_CAPTION, "101", "typed text"}).code, 0);
    EXPECT_EQ(Drive({"text", TARGET_CAPTION, "101"}).out, "typed text\n");
    EXPECT_EQ(Drive({"key", TARGET_CAPTION, "101", "tab"}).code, 0);
    EXPECT_EQ(Drive({"focus", TARGET_CAPTION}).out, "102\n");
    EXPECT_EQ(Drive({"key", TARGET_CAPTION, "0", "enter"}).code, 0);
    EXPECT_EQ(Drive({"focus", TARGET_CAPTION}).out, "103\n");

    EXPECT_EQ(Drive({"click", TARGET_CAPTION, "107"}).code, 0);
    EXPECT_EQ(Drive({"wait-box", "go on", "2000"}).out, "Target Question\tShall the target go on?\n");
    EXPECT_EQ(Drive({"boxes"}).out, std::to_string(target.ProcessId()) + "\tTarget Question\tShall the target go on?\n");
    EXPECT_EQ(Drive({"answer-box", "ok"}).code, uidriver::EXIT_FAILED);  // a Yes/No/Cancel box has no OK
    EXPECT_EQ(Drive({"answer-box", "no", "go on"}).code, 0);
    EXPECT_EQ(Drive({"text", TARGET_CAPTION, "109"}).out, "answer: no\n");
    EXPECT_EQ(Drive({"answer-box", "yes"}).code, uidriver::EXIT_FAILED);  // none open any more
}

TEST_F(DriverCommandTest, FailuresNameWhatWasMissing) {
    Result missing = Drive({"click", "No Such Dialog", "1"});
    EXPECT_EQ(missing.code, uidriver::EXIT_FAILED);
    EXPECT_NE(missing.err.find("No Such Dialog"), std::string::npos) << missing.err;
    Result control = Drive({"text", TARGET_CAPTION, "999"});
    EXPECT_EQ(control.code, uidriver::EXIT_FAILED);
    EXPECT_NE(control.err.find("999"), std::string::npos) << control.err;
    EXPECT_EQ(Drive({"--pid", std::to_string(::GetCurrentProcessId()), "focus", TARGET_CAPTION}).code,
              uidriver::EXIT_FAILED);
    EXPECT_EQ(Drive({"key", TARGET_CAPTION, "101", "space"}).code, uidriver::EXIT_USAGE);
    EXPECT_EQ(Drive({"wait-box", "", "200"}).code, uidriver::EXIT_FAILED);
}

// The driver program itself, as a script runs it: one process per command.
// Whatever it starts stays in this test's job and ends with the test.
class DriverProgramRun {
public:
    ~DriverProgramRun() { group_.TerminateAll(1, e2e::EXIT_WAIT_MS); }

    Result Run(const std::vector<std::string>& words) {
        uidriver::StartRequest request;
        request.folder = folder_.Path();
        request.program = DriverProgram();
        request.commandTail = uidriver::JoinArguments(words);
        request.outputFile = folder_ / ("driver-" + std::to_string(++calls_) + ".txt");
        request.group = &group_;
        uidriver::StartedProcess driver = uidriver::StartProgram(request);
        std::optional<DWORD> code = uidriver::WaitForExit(driver.process.Get(), 20000);
        return {code ? static_cast<int>(*code) : -1, e2e::ReadFileText(request.outputFile), ""};
    }
    const std::string& Folder() const { return folder_.Path(); }

private:
    e2e::ScratchFolder folder_;
    uidriver::ProcessGroup group_;
    int calls_ = 0;
};

TEST(DriverProgram, AProgramItStartedCanBeAskedForItsExitCodeAfterItEnded) {
    DriverProgramRun driver;
    const Result started = driver.Run({"start", driver.Folder(), TargetProgram(), "3010"});
    ASSERT_EQ(started.code, 0) << started.out;
    const std::string pid = started.out.substr(0, started.out.find('\n'));
    ASSERT_EQ(started.out, pid + "\n");

    const Result shown = driver.Run({"--pid", pid, "wait-dialog", TARGET_CAPTION, "10000"});
    ASSERT_EQ(shown.code, 0) << shown.out;
    EXPECT_EQ(shown.out, pid + "\n");
    const Result clicked = driver.Run({"--pid", pid, "click", TARGET_CAPTION, "2"});
    EXPECT_EQ(clicked.code, 0) << clicked.out;
    // The starter has long ended: its watcher kept the code.
    const Result ended = driver.Run({"wait-exit", pid, "10000"});
    EXPECT_EQ(ended.code, 0) << ended.out;
    EXPECT_EQ(ended.out, "3010\n");
    const Result unknown = driver.Run({"wait-exit", "4294967295", "100"});
    EXPECT_EQ(unknown.code, uidriver::EXIT_FAILED) << unknown.out;
}

TEST(DriverProgram, WhatItStartedEndsWithTheJobOfTheTest) {
    win::KernelHandle target;
    {
        DriverProgramRun driver;
        const Result started = driver.Run({"start", driver.Folder(), TargetProgram()});
        ASSERT_EQ(started.code, 0) << started.out;
        const DWORD pid = uidriver::ParseNumber(started.out.substr(0, started.out.find('\n')), "process id");
        target.Reset(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        ASSERT_TRUE(target);
        ASSERT_EQ(driver.Run({"--pid", std::to_string(pid), "wait-dialog", TARGET_CAPTION}).code, 0);
    }
    EXPECT_EQ(::WaitForSingleObject(target.Get(), 0), WAIT_OBJECT_0);
}

}  // namespace
