#pragma once
// Links in the file system: a folder or file that is a reparse point
// (junction, symbolic link, mount point) leads somewhere else, and an elevated
// setup must not create, write, delete or run anything through one.
#include <windows.h>

#include <string>
#include <string_view>

namespace win {

// The absolute form of a path, relative to the current folder when it is relative.
std::string FullPath(const std::string& path);
// True when the path itself is a reparse point.
bool IsReparsePoint(const std::string& path);
// The path as the system finally resolved an open handle, without the "\\?\" prefix.
std::string FinalPathOf(HANDLE handle);
// True when the handle was reached through a link somewhere along the path:
// the system's final path of it is not the full, long form of the path asked for.
bool OpenedThroughLink(HANDLE handle, const std::string& path);
// Paths compare without regard to case and with one form of the drive prefix.
bool SamePath(std::string_view a, std::string_view b);

}  // namespace win
