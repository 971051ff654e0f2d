#pragma once
// The IIS configuration objects a web site installation works on, and the
// look-ups and additions on its server-level collections. The objects are
// held until the process ends; each installation opens them anew.
#include <string>

#include "iis/site_values.h"
#include "win/app_host_admin.h"
#include "win/com.h"

class RunLog;

struct IisSession {
    win::ComPtr<IAppHostWritableAdminManager> adminManager;
    win::ComPtr<IAppHostElement> section;  // the section opened last
    win::ComPtr<IAppHostElementCollection> sites;
    win::ComPtr<IAppHostElement> currentSite;
    win::ComPtr<IAppHostElementCollection> pools;
    win::ComPtr<IAppHostElement> currentPool;
    win::ComPtr<IAppHostElementCollection> restrictions;
    win::ComPtr<IAppHostElement> restrictionEntry;
    win::ComPtr<IAppHostElement> handlerEntry;
    win::ComPtr<IAppHostElement> defaultDocumentEntry;
};

// Whether the caller cannot do without IIS: the information server's port
// needs only its own configuration file, so there a missing IIS is no failure.
enum class IisNeed { Required, Optional };

// Opens the manager and the three collections; false when one of them cannot
// be had: no later step could work then. The failure is logged, and counted
// unless IIS is optional.
bool OpenIisConfiguration(IisSession& session, RunLog& log, IisNeed need = IisNeed::Required);
// The id for the site of this name: an existing site's own (that site is
// removed, to be made anew), else one more than the largest.
int ReserveSiteId(IisSession& session, const std::string& name);
// True, with currentPool on it, when a pool of exactly this name exists.
bool FindAppPool(IisSession& session, const std::string& name);
// Allows the server module in the ISAPI/CGI restriction list; an entry for
// its path is updated rather than added twice. True when it added the entry
// (pending the commit), false when one was there or adding it failed.
bool AddIsapiCgiRestriction(IisSession& session, const SiteSpec& spec, RunLog& log);
