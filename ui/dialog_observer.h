#pragma once
// The dialog watching a run from its own thread: what the run's thread tells
// comes as posted messages, and a question waits for the dialog's answer.
#include <windows.h>

#include <memory>

#include "core/observer.h"

class SetupContext;

constexpr UINT WM_RUN_STATUS = WM_APP + 1;    // lParam: the text, a std::string the dialog deletes
constexpr UINT WM_RUN_PROGRESS = WM_APP + 2;  // wParam: percent
constexpr UINT WM_RUN_ASK = WM_APP + 3;       // lParam: the question; the result is the answer
constexpr UINT WM_RUN_DONE = WM_APP + 4;      // the run's thread has ended

std::unique_ptr<RunObserver> MakeDialogObserver(SetupContext& context, HWND dialog);
// The dialog's side of those messages; false for any other message.
bool HandleRunMessage(SetupContext& context, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                      INT_PTR& result);
