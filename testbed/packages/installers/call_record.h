#pragma once
// The line every fake installer appends to C:\CorvantaTestbed\installers.log:
//   file name TAB command line TAB current directory TAB exit code [TAB extra]... CR LF
// The exit code is unsigned decimal. A control character inside a field is
// written as \xNN (two hex digits) so one call stays one line.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace fake {

inline constexpr char kTestbedFolder[] = "C:\\CorvantaTestbed";
inline constexpr char kInstallersLog[] = "C:\\CorvantaTestbed\\installers.log";

struct CallRecord {
    std::string installer;
    std::string commandLine;
    std::string currentDirectory;
    DWORD exitCode = 0;
    std::vector<std::string> extras;  // "NAME=value" fields an installer adds
};

std::string EscapeField(std::string_view field);
std::string FormatRecord(const CallRecord& record);

// Appends the formatted line; false when the log cannot be written.
bool AppendRecord(const CallRecord& record);

// The running program's own file name (no folder) and the current directory.
std::string OwnFileName();
std::string CurrentDirectory();

// Writes text to standard output or error at once, unbuffered, so a reader
// of the pipe sees each piece when it is written.
void WriteStream(DWORD which, std::string_view text);

}  // namespace fake
