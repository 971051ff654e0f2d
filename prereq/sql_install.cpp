#include "prereq/sql_install.h"

#include <windows.h>

#include <algorithm>

#include "core/context.h"
#include "prereq/sql_setup.h"
#include "win/process.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

constexpr char MASKED_PASSWORD[] = "********";

std::string DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
    return "C:\\";
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
    owner.Log(LOG_SERVER, BuildSqlCommandLine(input, true));
    // Started by its full path: a program of that name elsewhere never runs.
    const std::optional<DWORD> code =
        win::RunProcess(SqlInstallerPath(serverDirectory), BuildSqlCommandLine(input, false),
                        serverDirectory + "Update", [this](std::string_view piece) { owner.Log(LOG_SERVER, piece); });
    if (!code) {
        owner.Fail(LOG_SERVER, "CreateProcess failed", win::SystemErrorText(::GetLastError()));
        return 0;
    }
    switch (win::ClassifyExitCode(*code)) {
        case win::InstallerOutcome::Failure:
            owner.Fail(LOG_SQL, "SQL Server installation failed with exit code " + std::to_string(*code));
            return 1;
        case win::InstallerOutcome::RestartRequired:
            owner.report.restartRequired = true;
            owner.Log(LOG_SQL, "SQL Server Express completed; a restart is required");
            break;
        case win::InstallerOutcome::Success:
            break;
    }
    owner.Log(LOG_SQL, "Installed SQL Server");
    return 1;
}
