#pragma once
// Starting an installer and waiting for its end.
#include <windows.h>

#include <optional>
#include <string>

// Starts the program named by its full path (never searched for), waits
// without time limit and gives its exit code; nothing when it could not be
// started (the thread's last error tells why). An exit code that cannot be
// read counts as 1.
std::optional<DWORD> RunAndWait(const std::string& application, const std::string& commandLine,
                                const std::string& currentDirectory);

// Exit codes with which an installer reports success but asks for a restart.
bool IsRestartCode(DWORD code);
// Success as an installer means it: 0 or a restart request.
bool IsInstallerSuccess(DWORD code);
