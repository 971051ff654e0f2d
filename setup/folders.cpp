#include "setup/folders.h"

#include <windows.h>

#include "win/file_links.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

bool Enter(const std::string& folder) { return ::SetCurrentDirectoryA(folder.c_str()) != 0; }

std::string LastErrorText() { return win::SystemErrorText(::GetLastError()); }

// The path without trailing blanks and one trailing backslash; with the
// reporting variant, also without a leading long-path prefix.
std::string PreparePath(const std::string& path, bool dropLongPathPrefix) {
    std::string prepared = text::TrimTrailingBlanks(path);
    if (text::EndsWithBackslash(prepared)) prepared.pop_back();
    if (dropLongPathPrefix && prepared.rfind("\\\\?\\", 0) == 0) {
        prepared.erase(0, 4);
        if (text::EndsWithBackslash(prepared)) prepared.pop_back();
    }
    return prepared;
}

// Walks the path one folder at a time from the current directory, entering
// each folder or making it. A folder that can neither be entered nor made
// ends the walk: going on would make the rest of the path in the wrong place.
// Returns what making the last folder gave.
int WalkPath(const std::string& path, std::string* errorText) {
    std::string component;
    bool first = true;
    for (char c : path) {
        if (c != '\\') {
            component += c;
            continue;
        }
        if (first) component += '\\';  // "C:" becomes the drive root "C:\"
        first = false;
        if (!Enter(component) && !(::CreateDirectoryA(component.c_str(), nullptr) && Enter(component))) {
            if (errorText) *errorText += LastErrorText();
            return 0;
        }
        component.clear();
    }
    if (component.empty()) return 1;
    return ::CreateDirectoryA(component.c_str(), nullptr) ? 1 : 0;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Only a folder at the asked place counts as made.
int WalkAndConfirm(const std::string& path, std::string* errorText) {
    const std::string full = win::FullPath(path);
    return WalkPath(path, errorText) && IsFolder(full) ? 1 : 0;
}

}  // namespace

int CreateFolderPathReporting(const std::string& path, std::string& errorText) {
    const std::string prepared = PreparePath(path, true);
    if (Enter(prepared)) return 1;
    errorText = LastErrorText();
    return WalkAndConfirm(prepared, &errorText);
}

int CreateFolderPath(const std::string& path) {
    const std::string prepared = PreparePath(path, false);
    if (prepared.empty() || Enter(prepared)) return 1;
    return WalkAndConfirm(prepared, nullptr);
}

bool EnterOrCreateFolder(const std::string& folder) {
    return Enter(folder) || CreateFolderPath(folder) == 1;
}

int RemoveLibraryFiles(const std::string& folder) {
    if (!Enter(folder)) return 0;
    WIN32_FIND_DATAA entry;
    win::FindHandle find(::FindFirstFileA("*.*", &entry));
    if (!find) return 0;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == ".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (!text::Contains(name, "dll")) continue;
        ::DeleteFileA(text::JoinPath(folder, name).c_str());
    } while (::FindNextFileA(find.Get(), &entry));
    return 1;
}
