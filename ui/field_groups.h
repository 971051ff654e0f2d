#pragma once
// Showing and hiding the dialog's controls and groups of controls.
#include <string>

class SetupContext;

// Shows and enables, or hides and disables, one control of the open dialog.
void ShowControl(SetupContext& context, int controlId, bool show);
// Runs the proxy detection, then shows or hides the client's or the server's
// fields (side SETUP_CLIENT or SETUP_SERVER); 1.
int ShowFieldGroup(SetupContext& context, unsigned side, bool show);
// The Install SQL Server box and the two password fields with their labels.
void ShowSqlControls(SetupContext& context, bool show);
// A text of that many blanks (empty below 1).
std::string Blanks(int count);
