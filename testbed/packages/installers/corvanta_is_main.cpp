// The information server's program as the test machine's package installs it.
// Started by hand it only tells what it is, so a test can see the installed
// file is ours. The package starts it once while it installs, with /setup:
// then it is one of the fake installers, applying its scenario (hold, exit
// code, sleep) and recording the call, and its exit code decides whether the
// installation goes on.
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "call_record.h"
#include "command_line.h"
#include "pauses.h"
#include "scenario.h"

namespace {

DWORD RunAsPartOfSetup(fake::CallRecord& record) {
    fake::HoldIfAsked(record.installer, record.extras);
    std::string error;
    std::optional<DWORD> code = fake::NextScenarioExitCode(record.installer, error);
    if (!code) fake::WriteStream(STD_ERROR_HANDLE, record.installer + ": " + error + "\r\n");
    fake::SleepIfAsked(record.installer, record.extras);
    return code.value_or(ERROR_INVALID_DATA);
}

}  // namespace

int main() {
    const std::string commandLine = ::GetCommandLineA();
    if (!fake::HasSwitch(fake::SplitCommandLine(commandLine), "/setup")) {
        std::printf("CorvantaIS 10.1 information server (test machine build)\n");
        return 0;
    }
    fake::CallRecord record;
    record.installer = fake::OwnFileName();
    record.commandLine = commandLine;
    record.currentDirectory = fake::CurrentDirectory();
    record.exitCode = RunAsPartOfSetup(record);
    fake::AppendRecord(record);
    return static_cast<int>(record.exitCode);
}
