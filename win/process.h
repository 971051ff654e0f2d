#pragma once
// Starting a program and waiting for its end, optionally with what it writes
// to its standard output and error handed on as it comes.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace win {

// Pieces of a program's output, at most 255 bytes each; a piece may end in
// the middle of one of its lines.
using OutputSink = std::function<void(std::string_view piece)>;

// Starts the program named by its full path (never searched for) with the
// command line, in the folder; waits without time limit and gives its exit
// code. Nothing when it could not be started (the thread's last error tells
// why). An exit code that cannot be read counts as 1.
std::optional<DWORD> RunProcess(const std::string& application, const std::string& commandLine,
                                const std::string& currentDirectory, const OutputSink& output = {});

// What an installer's exit code means: 0 success; 3010 and 1641 success with
// a restart to come; anything else failure.
enum class InstallerOutcome { Success, RestartRequired, Failure };
InstallerOutcome ClassifyExitCode(DWORD code);

}  // namespace win
