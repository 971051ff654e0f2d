#pragma once
// The OK command of both dialogs.
#include <windows.h>

#include "setup/internet_session.h"
#include "setup/maintenance.h"

class SetupContext;

// Returns 0 after a refusal; otherwise the run (or the maintenance action)
// has started on its own thread, which ends the process when it is over, and
// 1 is returned.
int OnOk(SetupContext& context);
// The maintenance dialog's buttons, as data.
MaintenanceChoices ReadMaintenanceChoices(HWND dialog);
int RejectInput(SetupContext& context, int controlId, const char* message);
