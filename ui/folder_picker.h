#pragma once
// The folder picker of the two directory boxes and the search for an existing
// installation by its marker file.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "iis/module_check.h"

class SetupContext;


void BrowseForField(SetupContext& context, int controlId);
std::optional<std::string> FindInstallFolder();
std::optional<std::string> PickFolder(HWND owner, const std::string& initialFolder);
// The Search button: fills the Server Directory box with a found installation.
void SearchForInstallation(SetupContext& context);

// Folders searched after the system search path, in order: the two program
// files folders themselves, the fixed candidates, then the product folders of
// every fixed drive from C to Z.
std::vector<std::string> InstallFolderCandidates(const std::string& programFiles, const std::string& programFilesX86,
                                                 const std::vector<char>& fixedDrives);
std::vector<char> FixedDriveLetters(DWORD driveMask, const std::function<bool(const std::string& root)>& isFixed);
