#pragma once
// The web site installation: names by port, the port conflict, the pool, the
// site, the module's restriction entry, the two commits and the site's
// start; for the information server's port its configuration file instead.
#include <optional>
#include <string>
#include <string_view>

#include "iis/iis_session.h"
#include "iis/port_conflict.h"
#include "iis/site_record.h"

class RunLog;

constexpr char INFO_SERVER_CONFIG_PATH[] = "c:\\program Files\\CorvantaIS\\corvantais.cfg";
constexpr int INFO_SERVER_PORT = 1465;

// "TCorvanta10" for 80, 443 and 1064, else followed by the port.
std::string SiteNameForPort(long port);
std::wstring BindingInformation(long port);
// The port of a binding text read from its third character; 0 without digits.
long BindingPort(std::string_view bindingInformation);
// The conflict message, the site name cut so the whole fits 255 characters.
std::string ConflictMessage(long port, std::string_view siteName);
std::string InfoServerConfigText(std::string_view docRoot);
std::string SuccessLine(std::string_view siteName, std::string_view poolName);

struct WebsiteOutcome {
    int result = 1;      // 1; for port 1465 what writing the configuration file gave (0, -1, -2)
    bool created = false;  // the site and its settings were committed
    int siteId = 0;
    std::optional<PortConflict> conflict;
    std::string serverFolder;  // where the module check looked
    SiteRecord record;         // what reached the committed configuration
};

// Runs the whole installation of the site on a freshly opened session. A
// site on the chosen port is moved to the rebind port; when that port is
// taken too, nothing is made or moved. For the information server's port
// only its configuration file is written, with or without IIS.
WebsiteOutcome InstallWebsite(IisSession& session, const SiteSpec& spec, const std::string& docRoot, RunLog& log);
// Starts the site of that name; 1 also when there is none.
int StartSite(IisSession& session, const std::string& siteName, RunLog& log);
// 0 when the file was written completely, -1 when it could not be created,
// -2 when writing failed.
int WriteInfoServerConfig(const std::string& docRoot, RunLog& log);
