#pragma once
// Starting the program under test, waiting for its end, and making sure no
// process of a test outlives it.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/handles.h"

namespace uidriver {

// One argument as the C runtime of the started program splits it back:
// quoted only when it holds a blank, a tab or a quote, or is empty.
std::string QuoteArgument(std::string_view argument);
// The arguments, each quoted as needed, separated by blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);
// The program (always quoted) followed by its arguments.
std::string BuildCommandLine(std::string_view program, const std::vector<std::string>& arguments);

// Every process a test starts, and every process those start, is in one
// job; closing or terminating the job ends them all. (A process that
// outlives its starter also keeps the Linux side's standard error open.)
class ProcessGroup {
public:
    ProcessGroup();
    // Ends every process of the group and waits until they are gone; false
    // when some were still there after the time-out.
    bool TerminateAll(UINT exitCode, DWORD timeoutMs);
    HANDLE Get() const { return job_.Get(); }

private:
    win::KernelHandle job_;
};

struct StartRequest {
    std::string folder;       // the program's current directory
    std::string program;      // its path
    std::string commandTail;  // what follows the program name on its command line
    std::string outputFile;   // its standard output and error; empty: none
    ProcessGroup* group = nullptr;
};

struct StartedProcess {
    win::KernelHandle process;
    DWORD id = 0;
};

StartedProcess StartProgram(const StartRequest& request);
// The full 32-bit exit code, or nothing while the process still runs after
// the time-out.
std::optional<DWORD> WaitForExit(HANDLE process, DWORD timeoutMs);

// The command-line driver's processes outlive the driver itself: a watcher
// (this program, run with "watch") holds each started process open and keeps
// its exit code in a record file, so it can still be asked for after the end.
std::string ExitRecordPath(DWORD processId);
void StartWatcher(const std::string& driverPath, DWORD processId);
int RunWatcher(DWORD processId);
// The exit code of a process the driver started, waiting up to the time-out.
DWORD WaitForExitOf(DWORD processId, DWORD timeoutMs);
void TerminateProcessById(DWORD processId, UINT exitCode);

}  // namespace uidriver
