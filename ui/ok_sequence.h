#pragma once
// The OK command of both dialogs.
class SetupContext;

// Returns 0 after a refusal; after a completed run or maintenance action the
// process has been asked to end.
int OnOk(SetupContext& context);
