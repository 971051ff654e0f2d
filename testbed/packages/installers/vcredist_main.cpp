// Stand-in for the VC runtime redistributables vcredist_x32.exe,
// vcredist_x64.exe and VC_redist.x64.exe: one program that knows which of them
// it is from its own file name. It installs nothing but the registry values
// the real one leaves, takes its exit code from the test's scenario (which
// may also hold or slow the run) and records every call.
#include <windows.h>

#include <string>
#include <vector>

#include "call_record.h"
#include "command_line.h"
#include "pauses.h"
#include "registry.h"
#include "scenario.h"

// The name this program was built as: it makes the three builds' bytes differ.
extern "C" __attribute__((used)) const char fakeBuiltAs[] = FAKE_BUILT_AS;

namespace {

struct Runtime {
    const char* fileName;
    const char* key;
    const char* version;
    DWORD major, minor, build, revision;
};

constexpr Runtime kRuntimes[] = {
    {"vcredist_x32.exe", "SOFTWARE\\Wow6432Node\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X86",
     "v12.0.40664.00", 12, 0, 40664, 0},
    {"vcredist_x64.exe", "SOFTWARE\\Microsoft\\VisualStudio\\12.0\\VC\\Runtimes\\X64", "v12.0.40664.00", 12, 0,
     40664, 0},
    {"VC_redist.x64.exe", "SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64", "v14.29.30133.00", 14, 29,
     30133, 0},
};

const Runtime* FindRuntime(const std::string& fileName) {
    for (const Runtime& runtime : kRuntimes)
        if (fake::EqualsNoCase(fileName, runtime.fileName)) return &runtime;
    return nullptr;
}

LONG RegisterRuntime(const Runtime& runtime) {
    LONG error = fake::SetMachineDword(runtime.key, "Installed", 1);
    if (error == ERROR_SUCCESS) error = fake::SetMachineString(runtime.key, "Version", runtime.version);
    if (error == ERROR_SUCCESS) error = fake::SetMachineDword(runtime.key, "Major", runtime.major);
    if (error == ERROR_SUCCESS) error = fake::SetMachineDword(runtime.key, "Minor", runtime.minor);
    if (error == ERROR_SUCCESS) error = fake::SetMachineDword(runtime.key, "Bld", runtime.build);
    if (error == ERROR_SUCCESS) error = fake::SetMachineDword(runtime.key, "Rev", runtime.revision);
    return error;
}

void Say(const std::string& line) { fake::WriteStream(STD_ERROR_HANDLE, line + "\r\n"); }

// The scenario's exit code and, on success, the runtime's registration.
DWORD RegisterFromScenario(const std::string& fileName, const Runtime& runtime) {
    std::string error;
    std::optional<DWORD> code = fake::NextScenarioExitCode(fileName, error);
    if (!code) {
        Say(fileName + ": " + error);
        return ERROR_INVALID_DATA;
    }
    if (!fake::IsSuccessCode(*code)) return *code;
    LONG written = RegisterRuntime(runtime);
    if (written != ERROR_SUCCESS) {
        Say(fileName + ": cannot write " + runtime.key + " (error " + std::to_string(written) + ")");
        return ERROR_INSTALL_FAILURE;
    }
    return *code;
}

DWORD Install(const std::string& fileName, const std::string& commandLine, std::vector<std::string>& extras) {
    const Runtime* runtime = FindRuntime(fileName);
    if (!runtime) {
        Say(fileName + ": not a known VC runtime redistributable name");
        return 1;
    }
    auto arguments = fake::SplitCommandLine(commandLine);
    if (!fake::HasSwitch(arguments, "/install") || !fake::HasSwitch(arguments, "/quiet") ||
        !fake::HasSwitch(arguments, "/norestart")) {
        Say(fileName + ": expected the switches /install /quiet /norestart, got: " + commandLine);
        return ERROR_INVALID_PARAMETER;
    }
    fake::HoldIfAsked(fileName, extras);
    DWORD code = RegisterFromScenario(fileName, *runtime);
    fake::SleepIfAsked(fileName, extras);
    return code;
}

}  // namespace

int main() {
    fake::CallRecord record;
    record.installer = fake::OwnFileName();
    record.commandLine = ::GetCommandLineA();
    record.currentDirectory = fake::CurrentDirectory();
    record.exitCode = Install(record.installer, record.commandLine, record.extras);
    fake::AppendRecord(record);
    return static_cast<int>(record.exitCode);
}
