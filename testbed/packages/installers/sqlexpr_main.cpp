// Stand-in for SQL Server Express's setup, SQLEXPR_x64_ENU.exe, in a quiet
// installation: it checks its switches like the real one, talks on standard
// output and error over about two seconds, takes its exit code from the
// test's scenario (which may also hold or slow the run) and, on success,
// leaves the new instance where the SQL Server WMI stand-in finds it and
// creates the data and backup folders.
#include <windows.h>

#include <string>
#include <vector>

#include "call_record.h"
#include "command_line.h"
#include "pauses.h"
#include "registry.h"
#include "scenario.h"
#include "sql_switches.h"

namespace {

constexpr char kVersion[] = "16.0.1000.6";
constexpr char kWmiNamespaceKey[] = "SOFTWARE\\CorvantaTestbed\\SqlWmi\\ComputerManagement16";

struct Speaker {
    DWORD pauseMs;
    void Out(const std::string& line) const { Line(STD_OUTPUT_HANDLE, line); }
    void Err(const std::string& line) const { Line(STD_ERROR_HANDLE, line); }
    void Line(DWORD stream, const std::string& line) const {
        fake::WriteStream(stream, line + "\r\n");
        if (pauseMs) ::Sleep(pauseMs);
    }
};

// One rule line per stream is longer than 255 bytes, so a reader that takes
// the output in chunks of that size sees a line split across reads.
std::string RuleLine(const char* prefix, int first, int count) {
    std::string line = prefix;
    for (int i = first; i < first + count; ++i) {
        line += " Rule" + std::to_string(i) + "=Passed";
        if (i + 1 < first + count) line += ';';
    }
    return line;
}

// Creates every folder of the path that is missing; 0 or the Win32 error.
DWORD CreateFolderPath(const std::string& path) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        bool separator = i == path.size() || path[i] == '\\' || path[i] == '/';
        if (separator && !partial.empty() && partial.back() != ':' && partial.back() != '\\') {
            if (!::CreateDirectoryA(partial.c_str(), nullptr)) {
                DWORD error = ::GetLastError();
                if (error != ERROR_ALREADY_EXISTS) {
                    DWORD attributes = ::GetFileAttributesA(partial.c_str());
                    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                        return error;
                }
            }
        }
        if (i < path.size()) partial += path[i] == '/' ? '\\' : path[i];
    }
    return 0;
}

DWORD HresultOf(DWORD win32) { return 0x80070000u | (win32 & 0xFFFFu); }

DWORD Complete(const fake::SqlRequest& request, const Speaker& say) {
    for (const std::string* folder : {&request.userDbDir, &request.backupDir}) {
        if (folder->empty()) continue;
        DWORD error = CreateFolderPath(*folder);
        if (error) {
            say.Err("Error: cannot create the folder '" + *folder + "' (error " + std::to_string(error) + ").");
            return HresultOf(error);
        }
    }
    std::string key = std::string(kWmiNamespaceKey) + "\\" + fake::SqlServiceName(request.instanceName);
    LONG error = fake::SetMachineString(key, "instanceID", fake::SqlInstanceId(request.instanceName));
    if (error == ERROR_SUCCESS) error = fake::SetMachineString(key, "Version", kVersion);
    if (error != ERROR_SUCCESS) {
        say.Err("Error: cannot register the instance (error " + std::to_string(error) + ").");
        return HresultOf(static_cast<DWORD>(error));
    }
    return 0;
}

DWORD Install(const std::string& fileName, const fake::SqlRequest& request, const Speaker& say) {
    say.Out(std::string("SQL Server Express setup stand-in, version ") + kVersion);
    say.Out("Instance " + request.instanceName + ", features " + request.features + ", action " + request.action +
            ".");
    say.Err("Warning: the SQL Server Customer Experience Improvement Program is not configured.");
    say.Out(RuleLine("Global rules:", 1, 24));
    say.Err(RuleLine("Installation rules (details):", 100, 24));
    say.Out("Installing feature SQLEngine: 50%");
    say.Out("Installing feature SQLEngine: 100%");

    std::string error;
    std::optional<DWORD> code = fake::NextScenarioExitCode(fileName, error);
    if (!code) {
        say.Err("Error: " + error);
        return ERROR_INVALID_DATA;
    }
    if (!fake::IsSuccessCode(*code)) {
        say.Err("Error: SQL Server setup has encountered an error (scenario exit code " + std::to_string(*code) +
                ").");
        return *code;
    }
    DWORD completed = Complete(request, say);
    return completed ? completed : *code;
}

}  // namespace

int main() {
    fake::CallRecord record;
    record.installer = fake::OwnFileName();
    record.commandLine = ::GetCommandLineA();
    record.currentDirectory = fake::CurrentDirectory();

    Speaker say{fake::ScenarioDword(record.installer, "OutputPauseMs", 250)};
    std::vector<std::string> arguments = fake::SplitCommandLine(record.commandLine);
    arguments.erase(arguments.begin());  // the program name
    fake::SqlRequest request;
    fake::SqlRefusal refusal = fake::ParseSqlSwitches(arguments, request);
    record.extras = request.parsed;
    if (refusal.code) {
        say.Out("SQL Server Express setup stand-in, version " + std::string(kVersion));
        say.Err("Error: " + refusal.message);
        record.exitCode = refusal.code;
    } else {
        fake::HoldIfAsked(record.installer, record.extras);
        record.exitCode = Install(record.installer, request, say);
        fake::SleepIfAsked(record.installer, record.extras);
    }
    say.pauseMs = 0;  // nothing follows the last line
    say.Out("Setup result: " + std::to_string(record.exitCode));
    fake::AppendRecord(record);
    return static_cast<int>(record.exitCode);
}
