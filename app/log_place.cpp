#include "app/log_place.h"

#include <windows.h>

#include "core/context.h"
#include "core/setup_log.h"
#include "setup/folders.h"
#include "setup/protected_folders.h"
#include "win/known_folders.h"
#include "win/text.h"

namespace {

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

bool IsAbsolute(std::string_view path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'));
}

}  // namespace

std::string LogPathFromSwitch(std::string_view value, std::string_view startDirectory) {
    if (IsAbsolute(value)) return std::string(value);
    // "\logs\s.log" is on the start folder's drive.
    if (!value.empty() && (value[0] == '\\' || value[0] == '/')) {
        return std::string(startDirectory.substr(0, 2)) + std::string(value);
    }
    return text::JoinPath(text::TrimTrailingBlanks(startDirectory), value);
}

std::string DefaultLogPath(std::string_view startDirectory, std::string_view windowsDirectory,
                           std::string_view productLogFolder) {
    if (!windowsDirectory.empty() && IsInsideFolder(startDirectory, windowsDirectory)) {
        return text::JoinPath(productLogFolder, LOG_FILE_NAME);
    }
    return LogFilePathIn(startDirectory);
}

std::string ProductLogFolder() {
    const std::string programData = win::KnownFolder(FOLDERID_ProgramData);
    return programData.empty() ? std::string() : text::JoinPath(programData, "TovinSoft\\Corvanta10\\Logs");
}

std::string DefaultLogPathOf(const SetupContext& context) {
    return DefaultLogPath(context.startDirectory, WindowsFolder(), ProductLogFolder());
}

void PlaceLog(SetupContext& context, const std::optional<std::string>& logSwitch) {
    if (logSwitch && !logSwitch->empty()) {
        context.logPath = LogPathFromSwitch(*logSwitch, context.startDirectory);
        return;
    }
    context.logPath = DefaultLogPathOf(context);
    const std::string folder = ProductLogFolder();
    if (folder.empty() || !IsInsideFolder(context.logPath, folder)) return;
    // The log is not open yet, so this folder is made without a log line; a
    // link planted in its place is not followed, and the log is then not opened.
    MakeProtectedFolder(folder);
}
