#pragma once
// Companion of the setup context for SQL Server: detection of installed
// instances and the unattended SQL Server Express installation.
#include <wbemidl.h>

#include <string>
#include <string_view>

#include "win/com.h"

class SetupContext;

// Finding of the scan: the SQL Server native client 11 is missing.
constexpr unsigned SQL_NATIVE_CLIENT_MISSING = 0x20000;

class SqlSetup {
public:
    explicit SqlSetup(SetupContext& owner) : owner(owner) {}

    SetupContext& owner;
    unsigned sqlSetupFlags = 0;
    int defaultInstanceFound = 0;
    int sqlInstanceCount = 0;
    std::string dataDrive = "  ";
    std::string backupDrive = "   ";
    unsigned sqlVersionBits = 0;

    // 1 when a suitable SQL Server is installed.
    int DetectSqlServer();
    win::ComPtr<IWbemServices> ConnectSqlWmi();
    int ScanSqlInstances(IWbemServices* services);
    std::wstring QuerySqlServiceProperty(std::wstring_view serviceName, std::wstring_view propertyName,
                                         IWbemServices* services);
    // 1 when the installer was started and has ended, 0 when it could not start.
    int InstallSqlExpress();
};

