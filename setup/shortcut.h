#pragma once
// The client program's shortcut in the user's Start menu and on the desktop.
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "core/flags.h"

class SetupContext;

struct ShortcutPlan {
    std::string target;
    std::string name;
};

// Which shortcut a run makes: the AI client or the 64-bit client; none for
// the 32-bit client or a run without the client.
std::optional<ShortcutPlan> PlanClientShortcut(SetupFlags flags, const std::string& clientDirectory);
// Where the shortcuts go: the user's Start menu programs and desktop, or the
// common (all users) ones when the setup runs as LocalSystem, whose own
// folders nobody sees.
struct ShortcutFolders {
    const KNOWNFOLDERID* programs;
    const KNOWNFOLDERID* desktop;
};
ShortcutFolders ShortcutFoldersFor(bool localSystem);
void CreateClientShortcut(SetupContext& context);
// Saves one shell link; false when it could not be made.
bool SaveShortcut(const std::string& linkPath, const std::string& target, const std::string& description);
