#pragma once
// The run's WinHTTP session, opened once with the proxy the context holds.
class SetupContext;

// Opens the WinHTTP session once; a failed open is tried again by the next call.
void OpenInternetSession(SetupContext& context);
