#pragma once
// The site's own settings: the two handlers (the server module for *.dll,
// the static-file modules for everything else), the server module as the
// only default document, a request limit of 500 MiB, and the Update folder
// (where the downloaded installers wait) hidden from requests.
#include <string>
#include <vector>

#include "iis/iis_session.h"

class RunLog;

// The names (SITE_SECTION_*) of the settings it changed, pending the commit;
// also after a logged failure the caller commits what was made. The hidden
// segment counts only when this added it: one that was there stays after a
// removal, as it was before.
std::vector<std::string> ConfigureSiteLevel(IisSession& session, const SiteSpec& spec, RunLog& log);
