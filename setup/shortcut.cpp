#include "setup/shortcut.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "core/context.h"
#include "setup/install_record.h"
#include "win/com.h"
#include "win/known_folders.h"
#include "win/security.h"
#include "win/text.h"

std::optional<ShortcutPlan> PlanClientShortcut(SetupFlags flags, const std::string& clientDirectory) {
    if (!(flags & SETUP_CLIENT)) return std::nullopt;
    if (flags & SETUP_AI_CLIENT) return ShortcutPlan{text::JoinPath(clientDirectory, "CorvantaAI.exe"), "TovinSoft CorvantaAI"};
    if (flags & SETUP_BITS_64) {
        return ShortcutPlan{text::JoinPath(clientDirectory, "Corvanta10App.exe"), "TovinSoft Corvanta v10.1"};
    }
    return std::nullopt;
}

bool SaveShortcut(const std::string& linkPath, const std::string& target, const std::string& description) {
    win::ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (!com.Succeeded()) return false;
    win::ComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid()))) {
        return false;
    }
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    link->SetWorkingDirectory(text::FolderOfFile(target).c_str());
    win::ComPtr<IPersistFile> file;
    if (FAILED(link.As(IID_IPersistFile, file))) return false;
    return SUCCEEDED(file->Save(win::ToWide(linkPath).c_str(), TRUE));
}

ShortcutFolders ShortcutFoldersFor(bool localSystem) {
    if (localSystem) return {&FOLDERID_CommonPrograms, &FOLDERID_PublicDesktop};
    return {&FOLDERID_Programs, &FOLDERID_Desktop};
}

void CreateClientShortcut(SetupContext& context) {
    const auto plan = PlanClientShortcut(context.setupFlags, context.clientDirectory);
    if (!plan) return;
    const ShortcutFolders folders = ShortcutFoldersFor(win::CurrentUserSid() == win::SID_SYSTEM);
    for (const KNOWNFOLDERID* id : {folders.programs, folders.desktop}) {
        const std::string folder = win::KnownFolder(*id);
        const std::string link = text::JoinPath(folder, plan->name + ".lnk");
        if (folder.empty() || !SaveShortcut(link, plan->target, context.clientDirectory)) {
            context.Log(LOG_CLIENT, "Could not create shortcut", link);
        } else {
            InstallRecord(context, Product::Client).AddShortcut(link, plan->target);
        }
    }
}
