#pragma once
// Folder operations of the run, on absolute paths; the process's current
// folder is never changed.
#include <string>
#include <string_view>
#include <vector>

bool IsFolder(const std::string& path);
// The folder without trailing blanks and separators (a drive root keeps its own).
std::string WithoutTrailingSeparator(std::string_view folder);
// True when the path is the folder or lies below it, without regard to case.
bool IsInsideFolder(std::string_view path, std::string_view folder);

// 1 when the folder exists or was made, 0 when its last folder cannot be made;
// the system messages of failed steps are appended to errorText.
int CreateFolderPathReporting(const std::string& path, std::string& errorText);
// 1 when the folder exists, was made, or the path is empty; 0 otherwise.
int CreateFolderPath(const std::string& path);
// Deletes every file whose name contains "dll" from the folder; 1 when the
// folder could be listed. A link among them is deleted itself, never what it
// points to.
int RemoveLibraryFiles(const std::string& folder);
// Deletes a folder with everything in it; a link inside (or the folder
// itself, when it is one) is removed without following it.
void RemoveFolderTree(const std::string& path);
// Writes a file's buffers to the disk before it is renamed.
bool FlushFile(const std::string& path);
// The names of the files (not the folders) of a folder.
std::vector<std::string> FileNamesIn(const std::string& folder);
