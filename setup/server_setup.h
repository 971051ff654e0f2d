#pragma once
// Companion of the setup context for the server side: package handling,
// installers, IIS features and the web site.
#include <string>

class SetupContext;

class ServerSetup {
public:
    explicit ServerSetup(SetupContext& owner) : owner(owner) {}

    SetupContext& owner;

    std::string installerName;  // the installer the runner starts next
    std::string updateFolder;
    std::string cabFolder;
    // First number of the download status text; nothing counts it.
    unsigned downloadCounter = 0;

    int rebindPort = 8080;
    std::string serverFolder;
    std::string docRoot;
};
