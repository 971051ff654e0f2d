#include "setup/protected_folders.h"

#include <windows.h>

#include "core/context.h"
#include "setup/folders.h"
#include "setup/install_record.h"
#include "win/file_links.h"
#include "win/handles.h"
#include "win/security.h"
#include "win/text.h"

namespace {

// The deepest existing folder of the path, reached through a link?
std::optional<std::string> LinkAlong(const std::string& folder) {
    std::string existing = win::FullPath(folder);
    while (!existing.empty() && !IsFolder(existing)) {
        const size_t cut = existing.find_last_of('\\');
        if (cut == std::string::npos || cut < 3) return std::nullopt;
        existing.resize(cut);
    }
    if (existing.empty()) return std::nullopt;
    if (win::IsReparsePoint(existing)) return existing;
    win::FileHandle handle(::CreateFileA(existing.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle && win::OpenedThroughLink(handle.Get(), existing)) return existing;
    return std::nullopt;
}

}  // namespace

std::string LinkRefusalText(std::string_view path) {
    return std::string(path) + " is a link; the setup does not follow it";
}

void RefuseLink(SetupContext& context, LogCategory category, const std::string& path) {
    context.Fail(category, LinkRefusalText(path));
}

ProtectedFolder MakeProtectedFolder(const std::string& folder) {
    ProtectedFolder out;
    out.path = WithoutTrailingSeparator(folder);
    if (auto link = LinkAlong(out.path)) {
        out.ready = FolderReady::Link;
        out.link = *link;
        return out;
    }
    if (!IsFolder(out.path) && (!CreateFolderPath(out.path) || !IsFolder(out.path))) {
        out.ready = FolderReady::Missing;
        return out;
    }
    if (auto link = LinkAlong(out.path)) {  // made meanwhile by someone else
        out.ready = FolderReady::Link;
        out.link = *link;
        return out;
    }
    out.protectError = win::ProtectFolder(out.path);
    return out;
}

FolderReady PrepareProtectedFolder(SetupContext& context, LogCategory category, const std::string& folder) {
    const ProtectedFolder made = MakeProtectedFolder(folder);
    if (made.ready == FolderReady::Link) {
        RefuseLink(context, category, made.link);
    } else if (made.ready == FolderReady::Ready && made.protectError != ERROR_SUCCESS) {
        context.Fail(category, "Could not set the permissions of " + made.path, win::SystemErrorText(made.protectError));
    } else if (made.ready == FolderReady::Ready) {
        context.Log(category, "Permissions of " + made.path + " set to administrators only");
    }
    return made.ready;
}

FolderReady PrepareRecordedFolder(SetupContext& context, Product product, LogCategory category, const std::string& folder) {
    const std::vector<std::string> missing = MissingFolders(folder, IsFolder);
    const FolderReady ready = PrepareProtectedFolder(context, category, folder);
    if (ready == FolderReady::Ready) RecordFolderPath(context, product, missing, folder);
    return ready;
}

std::optional<std::string> OwnerRefusal(std::string_view folder, const std::optional<std::string>& ownerSid,
                                        std::string_view ownerName, std::string_view currentUserSid) {
    if (ownerSid && win::IsTrustedOwner(*ownerSid, currentUserSid)) return std::nullopt;
    const std::string owner = !ownerName.empty() ? std::string(ownerName) : ownerSid.value_or("an unknown owner");
    return "The folder " + std::string(folder) + " belongs to " + owner +
           ". Choose another folder, or give it to the Administrators group.";
}

std::optional<std::string> FolderOwnerProblem(const std::string& folder) {
    const std::string path = WithoutTrailingSeparator(folder);
    if (!IsFolder(path)) return std::nullopt;
    const std::optional<std::string> owner = win::OwnerSidOf(path);
    return OwnerRefusal(path, owner, owner ? win::AccountNameOf(*owner) : std::string(), win::CurrentUserSid());
}
