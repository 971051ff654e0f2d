#pragma once
// The switches of the SQL Server Express stand-in, read as the real setup
// reads them in a quiet installation, and the refusals it gives.
#include <windows.h>

#include <string>
#include <vector>

namespace fake {

// Exit codes of a refused command line (the low 8 bits of the first are 0:
// a Linux shell sees success, only GetExitCodeProcess tells).
inline constexpr DWORD kSqlLicenseTermsMissing = 0x84B40000;
inline constexpr DWORD kSqlPasswordMissing = 0x84B40001;
inline constexpr DWORD kSqlInvalidParameter = 0x84B40002;

struct SqlRequest {
    bool quiet = false;  // /Q or /QS
    bool licenseAccepted = false;
    bool privacyNoticeSuppressed = false;
    bool passwordGiven = false;
    std::string action;
    std::string features;
    std::string securityMode;
    std::string saPassword;
    std::string instanceName;
    std::string userDbDir;
    std::string backupDir;
    // Every switch as parsed, in command-line order: "QS", "SAPWD=<value>", ...
    std::vector<std::string> parsed;
};

struct SqlRefusal {
    DWORD code = 0;  // 0: the command line is accepted
    std::string message;
};

// `arguments` are the command line's arguments after the program name.
SqlRefusal ParseSqlSwitches(const std::vector<std::string>& arguments, SqlRequest& request);

// "MSSQLSERVER" for the default instance, else "MSSQL$<NAME>"; names in capitals.
std::string SqlServiceName(const std::string& instanceName);
// "MSSQL16.<NAME>".
std::string SqlInstanceId(const std::string& instanceName);

}  // namespace fake
