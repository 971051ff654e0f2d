#include "setup/folders.h"

#include <windows.h>

#include "win/file_links.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

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

// Where the folders of a full path begin: after "C:\" or "\\server\share\".
size_t FirstFolderAt(const std::string& full) {
    if (full.rfind("\\\\", 0) == 0) {
        const size_t share = full.find('\\', 2);
        const size_t end = share == std::string::npos ? std::string::npos : full.find('\\', share + 1);
        return end == std::string::npos ? full.size() : end + 1;
    }
    return full.size() >= 3 && full[1] == ':' ? 3 : 0;
}

// Makes every missing folder of the path by its absolute name, from the top.
// A folder that cannot be made ends the walk: going on would make the rest
// of the path in the wrong place.
int WalkPath(const std::string& path, std::string* errorText) {
    const std::string full = win::FullPath(path);
    for (size_t end = full.find('\\', FirstFolderAt(full));; end = full.find('\\', end + 1)) {
        const std::string folder = full.substr(0, end);
        if (!IsFolder(folder) && !::CreateDirectoryA(folder.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            if (errorText) *errorText += LastErrorText();
            return 0;
        }
        if (end == std::string::npos) break;
    }
    return IsFolder(full) ? 1 : 0;
}

}  // namespace

bool IsFolder(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithoutTrailingSeparator(std::string_view folder) {
    std::string out = text::TrimTrailingBlanks(folder);
    while (out.size() > 3 && (out.back() == '\\' || out.back() == '/')) out.pop_back();
    return out;
}

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    const std::string base = WithoutTrailingSeparator(folder);
    if (base.empty() || path.size() < base.size() || !text::EqualsNoCase(path.substr(0, base.size()), base)) return false;
    return path.size() == base.size() || path[base.size()] == '\\' || path[base.size()] == '/' ||
           text::EndsWithBackslash(base);
}

int CreateFolderPathReporting(const std::string& path, std::string& errorText) {
    const std::string prepared = PreparePath(path, true);
    if (IsFolder(prepared)) return 1;
    errorText = LastErrorText();
    return WalkPath(prepared, &errorText);
}

int CreateFolderPath(const std::string& path) {
    const std::string prepared = PreparePath(path, false);
    if (prepared.empty() || IsFolder(prepared)) return 1;
    return WalkPath(prepared, nullptr);
}

int RemoveLibraryFiles(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    win::FindHandle find(::FindFirstFileA(text::JoinPath(folder, "*.*").c_str(), &entry));
    if (!find) return 0;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == ".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (!text::Contains(name, "dll")) continue;
        ::DeleteFileA(text::JoinPath(folder, name).c_str());
    } while (::FindNextFileA(find.Get(), &entry));
    return 1;
}

void RemoveFolderTree(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {  // the link goes, never what it leads to
        if (!::RemoveDirectoryA(path.c_str())) ::DeleteFileA(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA entry;
    {
        win::FindHandle find(::FindFirstFileA(text::JoinPath(path, "*").c_str(), &entry));
        if (find) {
            do {
                const std::string name = entry.cFileName;
                if (name != "." && name != "..") RemoveFolderTree(text::JoinPath(path, name));
            } while (::FindNextFileA(find.Get(), &entry));
        }
    }
    ::RemoveDirectoryA(path.c_str());
}

bool FlushFile(const std::string& path) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::FlushFileBuffers(file.Get());
}

std::vector<std::string> FileNamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    win::FindHandle find(::FindFirstFileA(text::JoinPath(folder, "*").c_str(), &entry));
    if (!find) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
    } while (::FindNextFileA(find.Get(), &entry));
    return names;
}
