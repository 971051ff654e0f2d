#pragma once
// The dialog procedure shared by the setup and the maintenance dialog, and
// the operations that show and hide its controls.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/field_groups.h"

class SetupContext;

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Creates a dialog from one of the two templates; the context travels as the
// creation parameter and is kept in the dialog's user data.
HWND CreateSetupDialog(SetupContext& context, int templateId);
SetupContext* ContextOf(HWND dialog);

int InitSetupDialog(SetupContext& context, HWND dialog);

// Disables the fields and every button but Cancel while a run goes on.
void LockForRun(SetupContext& context);
// The same for a moment: the controls it disabled, for UnlockControls.
std::vector<HWND> LockControls(SetupContext& context);
void UnlockControls(const std::vector<HWND>& controls);
// Colour scheme toggle of the Dark Mode button.
void ToggleColourScheme(SetupContext& context);
void RedrawDialog(HWND dialog);
