#include "setup/file_removal.h"

#include <windows.h>

#include <optional>

#include "core/context.h"
#include "setup/folders.h"
#include "setup/package_list.h"
#include "setup/protected_folders.h"
#include "win/crypto.h"
#include "win/file_links.h"
#include "win/handles.h"
#include "win/text.h"

namespace {

bool InUse(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_USER_MAPPED_FILE;
}

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Opened for deletion without following a link; the system's error when not.
win::FileHandle OpenForDeletion(const std::string& path, DWORD& error) {
    win::FileHandle file(::CreateFileA(path.c_str(), DELETE | GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                       nullptr));
    error = file ? ERROR_SUCCESS : ::GetLastError();
    return file;
}

bool IsLink(HANDLE file, const std::string& path) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return true;
    }
    return win::OpenedThroughLink(file, path);
}

// Deletes the open file through its handle: read-only attributes cleared,
// then marked for deletion when the handle closes.
DWORD DeleteThrough(HANDLE file) {
    FILE_BASIC_INFO basic = {};
    if (::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) ? ERROR_SUCCESS
                                                                                                    : ::GetLastError();
}

FileState StateThrough(HANDLE file) {
    FileState state;
    std::uint64_t size = 0;
    const auto digest = win::Sha256OfFile(file, &size);
    if (!digest) return state;
    state.exists = true;
    state.size = size;
    state.sha256 = HexDigest(*digest);
    return state;
}

RemovalResult Schedule(SetupContext& context, LogCategory category, const std::string& path) {
    if (!DeleteAtRestart(path)) {
        context.Fail(category, "Could not remove " + path + ": it is in use", win::SystemErrorText(::GetLastError()));
        return RemovalResult::Failed;
    }
    context.report.restartRequired = true;
    context.Log(category, path + " is in use; it is deleted at the next restart");
    return RemovalResult::Scheduled;
}

RemovalResult Deleted(SetupContext& context, LogCategory category, const std::string& path, win::FileHandle& file) {
    const DWORD error = DeleteThrough(file.Get());
    file.Reset();
    if (error == ERROR_SUCCESS && ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        context.Log(category, "Deleted " + path);
        return RemovalResult::Deleted;
    }
    if (InUse(error)) return Schedule(context, category, path);
    context.Fail(category, "Could not delete " + path, win::SystemErrorText(error));
    return RemovalResult::Failed;
}

// Through an open handle: a link is refused, a changed file kept; nothing
// when the file is what was installed.
std::optional<RemovalResult> RefusalThrough(SetupContext& context, LogCategory category, HANDLE file,
                                            const RecordedFile& recorded, const std::vector<std::string>& folders) {
    if (IsLink(file, recorded.path)) {
        RefuseLink(context, category, recorded.path);
        return RemovalResult::Failed;
    }
    if (JudgeFile(recorded, StateThrough(file), folders) == FileVerdict::KeepChanged) {
        context.Log(category, "Kept " + recorded.path + ": changed since the installation");
        return RemovalResult::Kept;
    }
    return std::nullopt;
}

}  // namespace

RemovalResult RemoveRecordedFile(SetupContext& context, LogCategory category, const RecordedFile& file,
                                 const std::vector<std::string>& folders) {
    if (JudgeFile(file, {true, file.size, file.sha256}, folders) == FileVerdict::KeepOutside) {
        context.Log(category, "Kept " + file.path + ": outside the folders of the installation");
        return RemovalResult::Kept;
    }
    DWORD error = ERROR_SUCCESS;
    win::FileHandle handle = OpenForDeletion(file.path, error);
    if (!handle && Missing(error)) return RemovalResult::Gone;
    if (!handle && InUse(error)) {
        // Checked through a handle that leaves the user of the file alone.
        win::FileHandle reader(::CreateFileA(file.path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!reader) {
            context.Fail(category, "Could not remove " + file.path + ": it is in use and cannot be read",
                         win::SystemErrorText(::GetLastError()));
            return RemovalResult::Failed;
        }
        if (auto refused = RefusalThrough(context, category, reader.Get(), file, folders)) return *refused;
        reader.Reset();
        return Schedule(context, category, file.path);
    }
    if (!handle) {
        context.Fail(category, "Could not delete " + file.path, win::SystemErrorText(error));
        return RemovalResult::Failed;
    }
    if (auto refused = RefusalThrough(context, category, handle.Get(), file, folders)) return *refused;
    return Deleted(context, category, file.path, handle);
}

RemovalResult RemoveNamedFile(SetupContext& context, LogCategory category, const std::string& path) {
    DWORD error = ERROR_SUCCESS;
    win::FileHandle handle = OpenForDeletion(path, error);
    if (!handle && Missing(error)) return RemovalResult::Gone;
    if (!handle && InUse(error)) return Schedule(context, category, path);
    if (!handle) {
        context.Fail(category, "Could not delete " + path, win::SystemErrorText(error));
        return RemovalResult::Failed;
    }
    if (IsLink(handle.Get(), path)) {
        RefuseLink(context, category, path);
        return RemovalResult::Failed;
    }
    return Deleted(context, category, path, handle);
}

bool RemoveFolderWithContent(SetupContext& context, LogCategory category, const std::string& folder) {
    if (::GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    RemoveFolderTree(folder);
    if (::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        context.Fail(category, "Could not delete the folder " + folder, win::SystemErrorText(::GetLastError()));
        return false;
    }
    context.Log(category, "Deleted " + folder + " with everything in it");
    return true;
}

void RemoveEmptyFolder(SetupContext& context, LogCategory category, const std::string& folder) {
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RefuseLink(context, category, folder);
        return;
    }
    if (::RemoveDirectoryA(folder.c_str())) {
        context.Log(category, "Deleted the folder " + folder);
        return;
    }
    context.Log(category, "Kept the folder " + folder + ": it is not empty");
}

bool DeleteAtRestart(const std::string& path) {
    return ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}
