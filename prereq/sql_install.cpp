#include "prereq/sql_install.h"

#include <windows.h>

#include <algorithm>

#include "app/context.h"
#include "prereq/sql_setup.h"
#include "setup/process.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

constexpr DWORD OUTPUT_CHUNK_BYTES = 255;
constexpr char MASKED_PASSWORD[] = "********";

std::string DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
    return "C:\\";
}

// Logs what the installer wrote, in chunks of at most 255 bytes; the chunk
// may end inside a line of the installer's output.
bool LogOutputChunk(SetupContext& context, HANDLE pipe) {
    DWORD waiting = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return false;
    char chunk[OUTPUT_CHUNK_BYTES + 1] = {};
    DWORD read = 0;
    if (!::ReadFile(pipe, chunk, OUTPUT_CHUNK_BYTES, &read, nullptr) || read == 0) return false;
    context.Log(LOG_SERVER, std::string(chunk, read));
    return true;
}

}  // namespace

DriveChoice ChooseSqlDrives(const std::vector<DriveSpace>& drives, const std::string& serverDirectory) {
    const DriveSpace* largest = nullptr;
    const DriveSpace* second = nullptr;
    for (const DriveSpace& drive : drives) {
        const double value = drive.fixed ? drive.freeGiB : 0.0;
        if (value <= 0) continue;
        if (!largest || value > largest->freeGiB) {
            second = largest;
            largest = &drive;
        } else if ((!second || value > second->freeGiB) && value < largest->freeGiB) {
            second = &drive;
        }
    }
    if (!largest) {
        const std::string root = DriveOf(serverDirectory);
        return {root, root};
    }
    const std::string data = largest->root.substr(0, 3);
    if (largest->freeGiB > 100.0 || !second) return {data, data};
    return {data, second->root.substr(0, 3)};
}

std::vector<DriveSpace> ReadDriveSpaces() {
    std::vector<DriveSpace> drives;
    const DWORD needed = ::GetLogicalDriveStringsA(0, nullptr);
    std::string list(needed + 1, '\0');
    const DWORD length = ::GetLogicalDriveStringsA(needed, list.data());
    for (size_t start = 0; start < length && list[start];) {
        const std::string root = list.c_str() + start;
        start += root.size() + 1;
        DriveSpace drive{root, ::GetDriveTypeA(root.c_str()) == DRIVE_FIXED, 0};
        ULARGE_INTEGER available, total, free;
        if (drive.fixed && ::GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) {
            drive.freeGiB = static_cast<double>(free.QuadPart >> 10) * 0.0009765625 * 0.0009765625;
        }
        drives.push_back(drive);
    }
    return drives;
}

std::string QuoteSqlPassword(const std::string& password) {
    if (password.find_first_of(" \"") == std::string::npos) return password;
    // Backslashes just before a quote are doubled, so the installer's command
    // line parser gives back exactly the typed text.
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : password) {
        if (c == '\\') {
            ++backslashes;
            quoted += c;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes, '\\');
            quoted += "\"\"";
        } else {
            quoted += c;
        }
        backslashes = 0;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

std::string SqlInstallerPath(const std::string& serverDirectory) {
    return serverDirectory + "Update\\SQLEXPR_x64_ENU.exe";
}

std::string BuildSqlSetupArguments(const SqlCommandInput& input, bool maskPassword) {
    std::string text = " /QS /IACCEPTSQLSERVERLICENSETERMS /SUPPRESSPRIVACYSTATEMENTNOTICE ";
    text += " /FEATURES=SQLEngine /SECURITYMODE=SQL /SAPWD=";
    text += maskPassword ? MASKED_PASSWORD : QuoteSqlPassword(input.password);
    text += "  /ACTION=install";
    text += input.defaultInstanceFound ? " /INSTANCENAME=SQL19Express" : " /INSTANCENAME=MSSQLSERVER";
    text += " /SQLUSERDBDIR=" + input.drives.dataDrive + "\\sqldata\\";
    text += " /SQLBACKUPDIR=" + input.drives.backupDrive + "\\sqlbackup\\";
    return text;
}

std::string BuildSqlCommandLine(const SqlCommandInput& input, bool maskPassword) {
    // The server directory may hold blanks: the program path is quoted.
    std::string line = "\"";
    line += SqlInstallerPath(input.serverDirectory);
    line += "\" ";
    line += BuildSqlSetupArguments(input, maskPassword);
    return line;
}

int SqlSetup::InstallSqlExpress() {
    std::string serverDirectory = owner.serverDirectory;
    if (!text::EndsWithBackslash(serverDirectory)) serverDirectory += '\\';
    const DriveChoice drives = ChooseSqlDrives(ReadDriveSpaces(), serverDirectory);
    dataDrive = drives.dataDrive;
    backupDrive = drives.backupDrive;
    const SqlCommandInput input{serverDirectory, owner.sqlPassword, defaultInstanceFound != 0, drives};
    const std::string updateDirectory = serverDirectory + "Update";

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    win::KernelHandle readEnd, writeEnd;
    ::CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0);
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();

    owner.Log(LOG_SERVER, BuildSqlCommandLine(input, true));
    std::string commandLine = BuildSqlCommandLine(input, false);
    PROCESS_INFORMATION info = {};
    // Started by its full path: a program of that name elsewhere never runs.
    const std::string program = SqlInstallerPath(serverDirectory);
    const BOOL started = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          updateDirectory.c_str(), &startup, &info);
    const DWORD startError = started ? 0 : ::GetLastError();
    std::fill(commandLine.begin(), commandLine.end(), '\0');  // the password goes no further
    writeEnd.Reset();
    if (!started) {
        owner.Log(LOG_SERVER, "CreateProcess failed", win::SystemErrorText(startError));
        ++owner.failedSteps;
        return 0;
    }
    win::KernelHandle process(info.hProcess), thread(info.hThread);
    bool ended = false;
    while (!ended) {
        ended = ::WaitForSingleObject(process.Get(), 100) == WAIT_OBJECT_0;
        LogOutputChunk(owner, readEnd.Get());
    }
    // What the installer wrote just before it ended belongs in the log too.
    while (LogOutputChunk(owner, readEnd.Get())) {
    }
    DWORD code = 1;
    if (!::GetExitCodeProcess(process.Get(), &code)) code = 1;
    if (!IsInstallerSuccess(code)) {
        owner.Log(LOG_SQL, "SQL Server installation failed with exit code " + std::to_string(code));
        ++owner.failedSteps;
        return 1;
    }
    if (IsRestartCode(code)) {
        owner.restartRequired = true;
        owner.Log(LOG_SQL, "SQL Server Express completed; a restart is required");
    }
    owner.Log(LOG_SQL, "Installed SQL Server");
    return 1;
}
