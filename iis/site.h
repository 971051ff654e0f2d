#pragma once
// The IIS site that serves the server module: one root application in the
// pool, one root virtual directory on the server directory, one http binding
// on all addresses.
#include "iis/iis_session.h"

class RunLog;

// Adds the site under the given id, leaving currentSite on it; the change
// takes effect with the next commit.
int CreateSite(IisSession& session, const SiteSpec& spec, int siteId, RunLog& log);
