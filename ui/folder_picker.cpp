#include "ui/folder_picker.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "core/context.h"
#include "resources/resource.h"
#include "win/com.h"
#include "win/known_folders.h"
#include "win/text.h"

namespace {

constexpr char PICKER_TITLE[] = "Select Corvanta installation folder";

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string SearchPathFor(const char* name) {
    const DWORD needed = ::SearchPathA(nullptr, name, nullptr, 0, nullptr, nullptr);
    if (!needed) return {};
    std::string path(needed, '\0');
    const DWORD length = ::SearchPathA(nullptr, name, nullptr, needed, path.data(), nullptr);
    path.resize(length < needed ? length : 0);
    return path;
}

// A drop-down list gets the folder as its one item; an edit box or an
// editable combo box (the directory boxes) gets it as its text.
void WriteBack(HWND control, const std::string& folder) {
    char cls[16] = {};
    ::GetClassNameA(control, cls, sizeof cls);
    if (text::EqualsNoCase(cls, "ComboBox") && (::GetWindowLongA(control, GWL_STYLE) & 3) == CBS_DROPDOWNLIST) {
        ::SendMessageA(control, CB_RESETCONTENT, 0, 0);
        ::SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
        ::SendMessageA(control, CB_SETCURSEL, 0, 0);
    } else {
        ::SetWindowTextA(control, folder.c_str());
    }
}

}  // namespace

std::vector<char> FixedDriveLetters(DWORD driveMask, const std::function<bool(const std::string&)>& isFixed) {
    std::vector<char> letters;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (!(driveMask & (1u << (letter - 'A')))) continue;
        if (isFixed(std::string(1, letter) + ":\\")) letters.push_back(letter);
    }
    return letters;
}

std::vector<std::string> InstallFolderCandidates(const std::string& programFiles, const std::string& programFilesX86,
                                                 const std::vector<char>& fixedDrives) {
    std::vector<std::string> folders = {programFiles,
                                        programFilesX86,
                                        "C:\\Program Files\\TovinSoft\\Corvanta10",
                                        "C:\\Program Files (x86)\\TovinSoft\\Corvanta10",
                                        "C:\\Corvanta10",
                                        "D:\\Corvanta10"};
    for (char letter : fixedDrives) {
        const std::string root = std::string(1, letter) + ":\\";
        folders.push_back(root);
        for (const char* sub : {"TovinSoft\\Corvanta10", "Program Files\\TovinSoft\\Corvanta10",
                                "Program Files (x86)\\TovinSoft\\Corvanta10"}) {
            folders.push_back(root + sub);
        }
    }
    return folders;
}

std::optional<std::string> FindInstallFolder() {
    const std::string found = SearchPathFor(INSTALL_MARKER_FILE);
    if (!found.empty()) return text::FolderOfFile(found);
    const auto drives = FixedDriveLetters(::GetLogicalDrives(), [](const std::string& root) {
        return ::GetDriveTypeA(root.c_str()) == DRIVE_FIXED;
    });
    for (const std::string& folder :
         InstallFolderCandidates(win::KnownFolder(FOLDERID_ProgramFiles), win::KnownFolder(FOLDERID_ProgramFilesX86), drives)) {
        if (!folder.empty() && FileExists(text::JoinPath(folder, INSTALL_MARKER_FILE))) return folder;
    }
    return std::nullopt;
}

std::optional<std::string> PickFolder(HWND owner, const std::string& initialFolder) {
    // The GUI thread is single-threaded already; this balances only our own call.
    win::ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    win::ComPtr<IFileDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                  dialog.PutVoid()))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR | FOS_PATHMUSTEXIST);
    dialog->SetTitle(win::ToWide(PICKER_TITLE).c_str());
    if (!initialFolder.empty()) {
        const std::wstring wide = win::ToWide(initialFolder);
        win::ComPtr<IShellItem> folder;
        if (SUCCEEDED(::SHCreateItemFromParsingName(wide.c_str(), nullptr, IID_IShellItem, folder.PutVoid()))) {
            dialog->SetFolder(folder.Get());
            dialog->SetFileName(wide.c_str());
        }
    }
    if (FAILED(dialog->Show(owner))) return std::nullopt;
    win::ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.Put()))) return std::nullopt;
    PWSTR path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return std::nullopt;
    std::string chosen = win::ToAnsi(path);
    ::CoTaskMemFree(path);
    if (chosen.empty()) return std::nullopt;
    return chosen;
}

void BrowseForField(SetupContext& context, int controlId) {
    HWND control = ::GetDlgItem(context.dialog, controlId);
    std::string current = control ? win::WindowText(control) : std::string();
    if (current.empty()) current = FindInstallFolder().value_or("");
    const auto chosen = PickFolder(context.dialog, current);
    if (!chosen) return;
    if (control) WriteBack(control, *chosen);
    ::SendMessageA(context.dialog, WM_NEXTDLGCTL, 0, 0);
}

void SearchForInstallation(SetupContext& context) {
    if (auto folder = FindInstallFolder()) {
        ::SetDlgItemTextA(context.dialog, IDC_SERVER_DIRECTORY, folder->c_str());
    } else {
        context.ShowMessage("No existing Corvanta installation was found");
    }
}
