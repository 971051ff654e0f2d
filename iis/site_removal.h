#pragma once
// Taking out of IIS what a web site installation put in, as its SiteRecord
// says: the site, the pool and the restriction entry it made, its own
// settings in the site's web.config (an administrator's other settings
// there stay), the web.config itself when the setup made it and nothing is
// left in it, and the old binding of the site it moved.
#include <string>

#include "iis/iis_session.h"
#include "iis/site_record.h"

class RunLog;

// Stops the recorded site and pool, removes the site-level settings while
// the site is still there to find its web.config by, then the server-level
// elements. Something no longer there is logged, no failure; every other
// failure is logged and counted. True when everything recorded is gone.
bool RemoveWebsite(IisSession& session, const SiteRecord& record, const std::string& physicalPath, RunLog& log);
