#pragma once
// Companion of the setup context for the desktop client's update.
#include <string>

class SetupContext;

class ClientSetup {
public:
    explicit ClientSetup(SetupContext& owner) : owner(owner) {}

    SetupContext& owner;
    std::string updateFolder;
    std::string installerName;  // VC runtime installer run by the fetcher
};
