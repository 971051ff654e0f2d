#pragma once
// Folder operations of the run. They walk paths with the process's current
// directory and leave it where the walk ended.
#include <string>

// 1 when the folder exists or was made, 0 when its last folder cannot be made;
// the system messages of failed steps are appended to errorText.
int CreateFolderPathReporting(const std::string& path, std::string& errorText);
// 1 when the folder exists, was made, or the path is empty; 0 otherwise.
int CreateFolderPath(const std::string& path);
// Deletes every file whose name contains "dll" from the folder; 1 when the
// folder could be listed.
int RemoveLibraryFiles(const std::string& folder);
// Enters the folder or makes it; false when neither works.
bool EnterOrCreateFolder(const std::string& folder);
