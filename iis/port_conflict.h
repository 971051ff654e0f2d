#pragma once
// Another site on the chosen port, typically the Default Web Site on 80: it
// is found, reported and moved to another port before the own site is made.
#include <optional>
#include <string>

#include "iis/iis_session.h"

class RunLog;

struct PortConflict {
    std::string siteName;
    std::string message;  // "<port> is already in use on <site>Do you want to continue? "
};

// The first site (in collection order) with a binding on the spec's port,
// the own site aside.
std::optional<PortConflict> CheckPortConflict(IisSession& session, const SiteSpec& spec);
// Moves the first binding of the named site to the rebind port; false when no
// such site with a binding exists.
bool RebindConflictingSite(IisSession& session, const std::string& conflictSiteName, int rebindPort, RunLog& log);
