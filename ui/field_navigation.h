#pragma once
// Field-to-field navigation: Tab and Enter check a field and move on, F4 or
// the drop-down button of a directory box opens the folder picker.
#include <windows.h>

#include <optional>
#include <string>

class SetupContext;

// Hooks the control (and, for a combo box, its edit and list parts).
void InstallFieldNavigation(SetupContext& context, HWND dialog, int controlId);
LRESULT CALLBACK FieldSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR controlId,
                                   DWORD_PTR referenceData);
// A control's text as the user sees it; nothing when it cannot be read.
std::optional<std::string> ReadControlText(HWND control);
