#pragma once
// The site's own settings: the two handlers (the server module for *.dll,
// the static-file modules for everything else), the server module as the
// only default document, and a request limit of 500 MiB.
#include "iis/iis_session.h"

class RunLog;

// Always 1, also after a logged failure: the caller commits what was made.
int ConfigureSiteLevel(IisSession& session, const SiteSpec& spec, RunLog& log);
