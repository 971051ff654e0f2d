#pragma once
// Companion of the setup context for the desktop client's update.
#include <string>

#include "core/progress.h"
#include "core/flags.h"
#include "setup/download.h"

class SetupContext;

// Package bits of the client's files.
constexpr unsigned VC_INSTALLER_BITS = 0x3000;

struct ClientPackageRow {
    SetupFlags bitSize;
    unsigned runtimeSelector;
    const char* installer;
    unsigned installerBits;
    const char* cabinet;
    unsigned cabinetBits;
};

// The row for the first bit-size bit set among 32 Bit, 64 Bit and AI Client.
const ClientPackageRow* ClientPackagesFor(SetupFlags flags);

class ClientSetup {
public:
    explicit ClientSetup(SetupContext& owner) : owner(owner) {}

    SetupContext& owner;
    std::string updateFolder;
    std::string installerName;  // VC runtime installer run by the fetcher
    // The client's cabinet is unpacked here first; only a complete one is
    // swapped into the client directory.
    std::string stagingFolder;
    bool cabinetStaged = false;

    // 0 when a package request could not be opened or the update was not
    // applied (the client then stays as it was), else 1.
    int UpdateClient();
    int FetchClientPackage(const std::string& fileName, unsigned bits, const StepShare& share);

private:
    HandOnResult HandOn(const std::string& fileName, const std::string& localPath, unsigned bits);
    bool RunRuntimeInstaller();
    bool SwapInClient();
};
