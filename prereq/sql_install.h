#pragma once
// The unattended SQL Server Express installation: its command line and the
// choice of the drives for data and backups.
#include <string>
#include <vector>

struct DriveSpace {
    std::string root;      // "C:\"
    bool fixed = false;
    double freeGiB = 0;    // total free bytes in GiB; 0 when unknown
};

struct DriveChoice {
    std::string dataDrive;
    std::string backupDrive;
};

// The fixed drives with the most free space: data on the largest, backups on
// it too when it has more than 100 GiB, else on the second largest; with no
// second, on the data drive; with no drive at all, on the server directory's.
DriveChoice ChooseSqlDrives(const std::vector<DriveSpace>& drives, const std::string& serverDirectory);
std::vector<DriveSpace> ReadDriveSpaces();

struct SqlCommandInput {
    std::string serverDirectory;
    std::string password;
    bool defaultInstanceFound = false;
    DriveChoice drives;
};

constexpr char SQL_INSTALLER_NAME[] = "SQLEXPR_x64_ENU.exe";

std::string SqlInstallerPath(const std::string& serverDirectory);
std::string BuildSqlSetupArguments(const SqlCommandInput& input, bool maskPassword);
std::string BuildSqlCommandLine(const SqlCommandInput& input, bool maskPassword);
// A password as one command-line argument: quoted when it holds a blank or a
// double quote, inner quotes doubled.
std::string QuoteSqlPassword(const std::string& password);
