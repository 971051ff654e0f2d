#pragma once
// The server module's application pool: Classic pipeline, no managed
// runtime, 64-bit, LocalSystem, no rapid-fail protection.
#include "iis/iis_session.h"

class RunLog;

// Creates the pool of the site values, leaving currentPool on it.
int CreateAppPool(IisSession& session, const SiteSpec& spec, RunLog& log);
// Applies the fixed settings to currentPool, as FindAppPool left it.
int UpdateAppPool(IisSession& session, RunLog& log);
