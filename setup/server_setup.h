#pragma once
// Companion of the setup context for the server side: package handling,
// installers, IIS features and the web site.
#include <functional>
#include <string>
#include <vector>

#include "core/flags.h"
#include "core/progress.h"
#include "setup/download.h"
#include "iis/iis_session.h"
#include "iis/site_values.h"

class SetupContext;
struct FileMove;

// Where a server package is stored: the Update folder (extracted there) or
// the cab folder (extracted into the Update folder).
constexpr int PLACE_UPDATE = 3;
constexpr int PLACE_CAB = 1;
constexpr unsigned SERVER_INSTALLER_BITS = 0x202800;
constexpr char FIRST_INSTALLATION_DATA_CABINET[] = "TCrvx.cab";
constexpr char INFO_SERVER_PACKAGE[] = "CorvantaISSetup.msi";

// Stops or starts the server's application pool, reporting a failure.
std::function<void(const std::string& pool, bool start)> ServerPoolControl(SetupContext& context);

struct ServerPackage {
    const char* fileName;
    int placement;
    unsigned bits;
};

struct ServerPlanInput {
    SetupFlags setupFlags = 0;
    bool runtimeMissing = false;  // what the VC runtime 12 check reported
};

// The packages fetched before the progress step, in order (rows 1 to 10),
// and the extra installers and SQL Server package that follow it.
std::vector<ServerPackage> PlanServerPackages(const ServerPlanInput& input);
std::vector<ServerPackage> PlanLaterServerPackages(SetupFlags flags);
// The cabinets unpacked into the server directory after the fetches.
std::vector<std::string> PlanServerCabinets(SetupFlags flags, bool firstInstallation);

class ServerSetup {
public:
    explicit ServerSetup(SetupContext& owner) : owner(owner) {}

    SetupContext& owner;

    std::string installerName;  // the installer the runner starts next
    std::string updateFolder;
    std::string cabFolder;
    std::string stagingFolder;  // the server files of an update, before they are swapped in
    std::vector<std::string> dataNames;  // what of the staged files is first-installation data
    // First number of the download status text; nothing counts it.
    unsigned downloadCounter = 0;

    // IIS configuration of the web site
    IisSession iis;
    int siteId = 0;
    std::string siteName;
    std::string poolName;
    std::string modulePath;
    std::string moduleDescription;
    long portCopy = 0;
    bool conflictFound = false;
    std::string conflictSiteName;
    int rebindPort = 8080;
    std::string serverFolder;
    std::string docRoot;

    // 0 when a package request could not be opened or the update was not
    // applied, else 1.
    int UpdateServer();
    int FetchServerPackage(const std::string& fileName, int placement, unsigned bits, const StepShare& share);
    // 1 when the installer ran and succeeded.
    int RunInstaller();
    int EnableIisFeatures();

    // The web site: 1 after the IIS path; for port 1465 what writing the
    // information server's configuration gave.
    int InstallWebsite();
    int WriteInfoServerConfig();
    void CheckServerModules();
    bool SearchServerFolder(const std::string& folder);

private:
    HandOnResult HandOn(const std::string& fileName, const std::string& localPath, int placement, unsigned bits);
    bool StageServerCabinets();
    bool SwapInServer();
    void StoreDownloadStatus(unsigned bits);
};
