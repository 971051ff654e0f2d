#include "win/file_links.h"

#include "win/text.h"

namespace win {

namespace {

std::string WithoutLongPrefix(std::string path) {
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

// The full path in its long form, as the system writes a final path.
std::string LongFullPath(const std::string& path) {
    const std::string full = FullPath(path);
    const DWORD longNeeded = ::GetLongPathNameA(full.c_str(), nullptr, 0);
    if (!longNeeded) return full;
    std::string longPath(longNeeded, '\0');
    const DWORD longLength = ::GetLongPathNameA(full.c_str(), longPath.data(), longNeeded);
    longPath.resize(longLength < longNeeded ? longLength : 0);
    return longPath.empty() ? full : longPath;
}

}  // namespace

std::string FullPath(const std::string& path) {
    const DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (!needed) return path;
    std::string full(needed, '\0');
    const DWORD length = ::GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full;
}

bool IsReparsePoint(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string FinalPathOf(HANDLE handle) {
    // Asked with a buffer from the start: Wine gives no length for an empty one.
    std::string path(1024, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleA(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return WithoutLongPrefix(path);
        }
        path.assign(length + 1, '\0');
    }
    return {};
}

bool SamePath(std::string_view a, std::string_view b) {
    while (a.size() > 3 && (a.back() == '\\' || a.back() == '/')) a.remove_suffix(1);
    while (b.size() > 3 && (b.back() == '\\' || b.back() == '/')) b.remove_suffix(1);
    return text::EqualsNoCase(a, b);
}

bool OpenedThroughLink(HANDLE handle, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return true;
    }
    const std::string final = FinalPathOf(handle);
    return final.empty() || !SamePath(final, WithoutLongPrefix(LongFullPath(path)));
}

}  // namespace win
