#pragma once
// Detection of the system's HTTP proxy before field groups are shown.
#include "setup/system_proxy.h"

class SetupContext;

bool DetectProxy(SetupContext& context);
