#pragma once
// The run on its own thread: the dialog's thread only handles the window
// while it goes on, and ends the process when it is over.
#include <windows.h>

#include <functional>

class SetupContext;

// Starts the run on its thread, with COM initialised there; the dialog gets
// WM_RUN_DONE when it has ended.
void StartRun(SetupContext& context, HWND dialog, std::function<void(SetupContext&)> run);
bool RunGoesOn(const SetupContext& context);
// After WM_RUN_DONE: the thread is joined, the dialog destroyed, and the
// finishing path shows the end and ends the process.
void EndRun(SetupContext& context);
