#include "setup/install_record.h"

#include <windows.h>

#include <algorithm>

#include "core/context.h"
#include "setup/folders.h"
#include "setup/package_list.h"
#include "win/crypto.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/text.h"

namespace {

// The record is the machine's: the 64-bit view, whatever reads it.
constexpr REGSAM VIEW = KEY_WOW64_64KEY;
constexpr char FILES[] = "Files";
constexpr char DATA[] = "Data";
constexpr char FOLDERS[] = "Folders";
constexpr char SHORTCUTS[] = "Shortcuts";
constexpr char CREATED[] = "created";
constexpr char EXISTED[] = "existed";

bool IsHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

}  // namespace

const char* RecordKeyOf(Product product) { return product == Product::Client ? CLIENT_RECORD_KEY : SERVER_RECORD_KEY; }

std::string RecordedFileText(std::uint64_t size, std::string_view sha256) {
    return std::to_string(size) + " " + text::ToLower(sha256);
}

std::optional<RecordedFile> ParseRecordedFile(std::string_view path, std::string_view text) {
    const size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const auto size = text::ParseDecimal(text.substr(0, blank));
    const std::string_view digest = text.substr(blank + 1);
    if (!size || digest.size() != 64 || !IsHex(digest) || path.empty()) return std::nullopt;
    return RecordedFile{std::string(path), *size, text::ToLower(digest)};
}

std::vector<std::string> MissingFolders(std::string_view folder, const std::function<bool(const std::string&)>& exists) {
    std::vector<std::string> missing;
    std::string path = WithoutTrailingSeparator(folder);
    // From the folder up to the first one that is there (a drive root always is).
    while (path.size() > 3 && !exists(path)) {
        missing.push_back(path);
        const size_t cut = path.find_last_of("\\/");
        if (cut == std::string::npos || cut < 2) break;
        path.resize(cut == 2 ? 3 : cut);
    }
    std::reverse(missing.begin(), missing.end());
    return missing;
}

std::vector<std::string> RemovalOrder(std::vector<std::string> folders) {
    std::stable_sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '\\') > std::count(b.begin(), b.end(), '\\');
    });
    return folders;
}

unsigned long EstimatedSizeKiB(const std::vector<RecordedFile>& files) {
    std::uint64_t bytes = 0;
    for (const RecordedFile& file : files) bytes += file.size;
    const std::uint64_t kib = (bytes + 1023) / 1024;
    return kib > 0xFFFFFFFFull ? 0xFFFFFFFFul : static_cast<unsigned long>(kib);
}

bool IsInFolder(std::string_view path, std::string_view folder) {
    return path.size() > WithoutTrailingSeparator(folder).size() && IsInsideFolder(path, folder);
}

FileVerdict JudgeFile(const RecordedFile& recorded, const FileState& state, const std::vector<std::string>& folders) {
    const bool inside = std::any_of(folders.begin(), folders.end(),
                                    [&](const std::string& folder) { return IsInFolder(recorded.path, folder); });
    if (!inside) return FileVerdict::KeepOutside;
    if (!state.exists) return FileVerdict::Gone;
    if (state.size != recorded.size || !text::EqualsNoCase(state.sha256, recorded.sha256)) return FileVerdict::KeepChanged;
    return FileVerdict::Delete;
}

std::string InstallRecord::KeyOf(const char* subkey) const {
    std::string key = RecordKeyOf(product_);
    if (subkey) key += std::string("\\") + subkey;
    return key;
}

void InstallRecord::Check(long status, const std::string& what) {
    if (status == ERROR_SUCCESS) return;
    context_.Fail(LOG_UI, "Could not write the installation record: " + what, KeyOf(nullptr) + ": " +
                                                                                   win::SystemErrorText(static_cast<DWORD>(status)));
}

bool InstallRecord::Exists() const { return win::RegistryKeyExists(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), VIEW); }

void InstallRecord::AddFolder(const std::string& path, bool created) {
    const std::string key = KeyOf(FOLDERS);
    const std::string folder = WithoutTrailingSeparator(path);
    // A folder the setup made stays its own through later runs.
    if (!created && win::ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), folder.c_str(), VIEW) == CREATED) return;
    Check(win::WriteRegistryText(HKEY_LOCAL_MACHINE, key.c_str(), folder.c_str(), created ? CREATED : EXISTED, VIEW),
          folder);
}

void InstallRecord::AddFile(const RecordedFile& file, bool data) {
    Check(win::WriteRegistryText(HKEY_LOCAL_MACHINE, KeyOf(data ? DATA : FILES).c_str(), file.path.c_str(),
                                 RecordedFileText(file.size, file.sha256), VIEW),
          file.path);
}

void InstallRecord::ForgetFile(const std::string& path, bool data) {
    Check(win::DeleteRegistryValue(HKEY_LOCAL_MACHINE, KeyOf(data ? DATA : FILES).c_str(), path.c_str(), VIEW), path);
}

void InstallRecord::AddShortcut(const std::string& link, const std::string& target) {
    Check(win::WriteRegistryText(HKEY_LOCAL_MACHINE, KeyOf(SHORTCUTS).c_str(), link.c_str(), target, VIEW), link);
}

void InstallRecord::SetValue(const char* name, const std::string& value) {
    Check(win::WriteRegistryText(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), name, value, VIEW), name);
}

void InstallRecord::SetValueOnce(const char* name, const std::string& value) {
    if (value.empty() || Value(name)) return;
    SetValue(name, value);
}

void InstallRecord::AddSite(const SiteRecord& site) {
    if (!site.site.empty()) SetValue("Site", site.site);
    SetValueOnce("Pool", site.pool);
    SetValueOnce("Restriction", site.restriction);
    if (!site.movedSite.empty() && !Value("MovedSite")) {
        SetValue("MovedSite", site.movedSite);
        SetValue("MovedBinding", site.movedBinding);
    }
    if (site.webConfigCreated) SetValueOnce("WebConfig", CREATED);
    std::vector<std::string> sections =
        win::ReadRegistryMultiString(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), "SiteSections", VIEW);
    const size_t before = sections.size();
    for (const std::string& section : site.siteSections) {
        if (std::find(sections.begin(), sections.end(), section) == sections.end()) sections.push_back(section);
    }
    if (sections.size() != before) {
        Check(win::WriteRegistryMultiString(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), "SiteSections", sections, VIEW),
              "SiteSections");
    }
}

std::vector<RecordedFile> InstallRecord::Files(bool data) const {
    std::vector<RecordedFile> files;
    for (const auto& [path, value] : win::ReadRegistryStrings(HKEY_LOCAL_MACHINE, KeyOf(data ? DATA : FILES).c_str(), VIEW)) {
        if (auto file = ParseRecordedFile(path, value)) files.push_back(*file);
    }
    return files;
}

std::vector<RecordedFolder> InstallRecord::Folders() const {
    std::vector<RecordedFolder> folders;
    for (const auto& [path, value] : win::ReadRegistryStrings(HKEY_LOCAL_MACHINE, KeyOf(FOLDERS).c_str(), VIEW)) {
        folders.push_back({path, value == CREATED});
    }
    return folders;
}

std::vector<std::pair<std::string, std::string>> InstallRecord::Shortcuts() const {
    return win::ReadRegistryStrings(HKEY_LOCAL_MACHINE, KeyOf(SHORTCUTS).c_str(), VIEW);
}

std::optional<std::string> InstallRecord::Value(const char* name) const {
    return win::ReadRegistryString(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), name, VIEW);
}

SiteRecord InstallRecord::Site() const {
    SiteRecord site;
    site.site = Value("Site").value_or("");
    site.pool = Value("Pool").value_or("");
    site.restriction = Value("Restriction").value_or("");
    site.siteSections = win::ReadRegistryMultiString(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), "SiteSections", VIEW);
    site.movedSite = Value("MovedSite").value_or("");
    site.movedBinding = Value("MovedBinding").value_or("");
    site.webConfigCreated = Value("WebConfig") == CREATED;
    return site;
}

bool InstallRecord::Remove() {
    return win::DeleteRegistryTree(HKEY_LOCAL_MACHINE, KeyOf(nullptr).c_str(), VIEW) == ERROR_SUCCESS;
}

std::optional<RecordedFile> DescribeFile(const std::string& path) {
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::nullopt;
    std::uint64_t size = 0;
    const auto digest = win::Sha256OfFile(file.Get(), &size);
    if (!digest) return std::nullopt;
    return RecordedFile{path, size, HexDigest(*digest)};
}

void RecordStagedFiles(SetupContext& context, Product product, const std::string& folder, const std::string& target,
                       const std::vector<std::string>& names, bool data) {
    InstallRecord record(context, product);
    for (const std::string& name : names) {
        auto file = DescribeFile(text::JoinPath(folder, name));
        if (!file) {
            context.Fail(LOG_UI, "Could not read " + text::JoinPath(folder, name) + " for the installation record");
            continue;
        }
        file->path = text::JoinPath(target, name);
        record.AddFile(*file, data);
    }
}

void RecordFolderPath(SetupContext& context, Product product, const std::vector<std::string>& made,
                      const std::string& folder) {
    InstallRecord record(context, product);
    for (const std::string& path : made) {
        if (IsFolder(path)) record.AddFolder(path, true);
    }
    const std::string target = WithoutTrailingSeparator(folder);
    const bool madeNow = std::any_of(made.begin(), made.end(), [&](const std::string& m) { return text::EqualsNoCase(m, target); });
    if (!madeNow && IsFolder(target)) record.AddFolder(target, false);
}
