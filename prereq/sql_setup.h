#pragma once
// Companion of the setup context for SQL Server: detection of installed
// instances and the unattended SQL Server Express installation.
#include <string>

class SetupContext;

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
};
