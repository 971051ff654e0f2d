#pragma once
// Where the setup log goes: the /log= path, else the folder the setup was
// started from; a setup started from inside the Windows folder (as a service
// starts it) logs to the product's own log folder instead.
#include <optional>
#include <string>
#include <string_view>

class SetupContext;

// A /log= value as a full path: a relative one starts from the start folder.
std::string LogPathFromSwitch(std::string_view value, std::string_view startDirectory);
// The log's path when no /log= names one.
std::string DefaultLogPath(std::string_view startDirectory, std::string_view windowsDirectory,
                           std::string_view productLogFolder);

// %ProgramData%\TovinSoft\Corvanta10\Logs
std::string ProductLogFolder();
// Chooses the context's log path; the product's log folder is made (for
// administrators only) when the log goes there.
void PlaceLog(SetupContext& context, const std::optional<std::string>& logSwitch);
// The path the log goes to without /log=.
std::string DefaultLogPathOf(const SetupContext& context);
