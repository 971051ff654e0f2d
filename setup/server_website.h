#pragma once
// The server update's web site step: the site the run installs, from its choices.
#include "iis/site_values.h"

class SetupContext;

// Names by port, the module in the server directory, the Hosts field, and
// the port a conflicting site is moved to.
SiteSpec WebsiteSpecOf(const SetupContext& context, int rebindPort);
