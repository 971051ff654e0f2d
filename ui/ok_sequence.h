#pragma once
// The OK command of both dialogs.
class SetupContext;

// Returns 0 after a refusal; after a completed run or maintenance action the
// process has been asked to end and 1 is returned.
int OnOk(SetupContext& context);
int RejectInput(SetupContext& context, int controlId, const char* message);
// Opens the WinHTTP session once; a failed open is tried again by the next OK.
void OpenInternetSession(SetupContext& context);
