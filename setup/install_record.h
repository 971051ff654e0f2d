#pragma once
// The record of what an installation put on the machine, kept in HKLM only
// (never where users can write) and written as the installation goes, so an
// uninstall removes what the setup installed and keeps what it did not:
//   SOFTWARE\TovinSoft\Corvanta10\<Client|Server>\Installed
//     Files      <path> = "<size> <SHA-256>"   files it unpacked
//     Data       <path> = "<size> <SHA-256>"   first-installation data (kept)
//     Folders    <path> = "created" | "existed"
//     Shortcuts  <link> = <target>
//     values: Site, Pool, Restriction, SiteSections, MovedSite, MovedBinding,
//             WebConfig, InfoServerProductCode, VcRuntime, SqlServer
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "iis/site_record.h"

class SetupContext;

enum class Product { Client, Server };

constexpr char CLIENT_RECORD_KEY[] = "SOFTWARE\\TovinSoft\\Corvanta10\\Client\\Installed";
constexpr char SERVER_RECORD_KEY[] = "SOFTWARE\\TovinSoft\\Corvanta10\\Server\\Installed";
const char* RecordKeyOf(Product product);

struct RecordedFile {
    std::string path;
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hexadecimal
    bool operator==(const RecordedFile&) const = default;
};
std::string RecordedFileText(std::uint64_t size, std::string_view sha256);
// Nothing when the text is not "<size> <64 hex digits>".
std::optional<RecordedFile> ParseRecordedFile(std::string_view path, std::string_view text);

struct RecordedFolder {
    std::string path;
    bool created = false;  // false: it was there before the installation
};

// The folders of a path that do not exist yet, outermost first, as the
// installation makes them; `exists` tells whether a folder is there.
std::vector<std::string> MissingFolders(std::string_view folder, const std::function<bool(const std::string&)>& exists);
// The folders in the order they can be removed: deepest first.
std::vector<std::string> RemovalOrder(std::vector<std::string> folders);
// The recorded files' size in KiB, rounded up, as Programs and Features shows it.
unsigned long EstimatedSizeKiB(const std::vector<RecordedFile>& files);

// What the uninstall does with one recorded file.
enum class FileVerdict {
    Delete,          // unchanged since the installation
    KeepChanged,     // its size or content changed
    KeepOutside,     // it lies outside the folders of the installation
    Gone,            // not there any more
};
struct FileState {
    bool exists = false;
    std::uint64_t size = 0;
    std::string sha256;
};
FileVerdict JudgeFile(const RecordedFile& recorded, const FileState& state, const std::vector<std::string>& folders);
bool IsInFolder(std::string_view path, std::string_view folder);

// One product's record in the registry. Every write reports its failure
// through the context (logged and counted).
class InstallRecord {
public:
    InstallRecord(SetupContext& context, Product product) : context_(context), product_(product) {}

    bool Exists() const;
    void AddFolder(const std::string& path, bool created);
    void AddFile(const RecordedFile& file, bool data = false);
    void ForgetFile(const std::string& path, bool data = false);
    void AddShortcut(const std::string& link, const std::string& target);
    void SetValue(const char* name, const std::string& value);
    // Written only when the record has no such value yet: a repair keeps
    // what the first installation made.
    void SetValueOnce(const char* name, const std::string& value);
    // What the web site step made, added to what earlier runs made.
    void AddSite(const SiteRecord& site);

    std::vector<RecordedFile> Files(bool data = false) const;
    std::vector<RecordedFolder> Folders() const;
    std::vector<std::pair<std::string, std::string>> Shortcuts() const;
    std::optional<std::string> Value(const char* name) const;
    SiteRecord Site() const;
    // The whole record; false when it could not be deleted.
    bool Remove();

private:
    std::string KeyOf(const char* subkey) const;
    void Check(long status, const std::string& what);

    SetupContext& context_;
    Product product_;
};

// The size and SHA-256 of a file as it is now; nothing when it cannot be read.
std::optional<RecordedFile> DescribeFile(const std::string& path);
// Records every file of `names` as it lies in `folder` (for the target folder
// `target`), before the files are moved there.
void RecordStagedFiles(SetupContext& context, Product product, const std::string& folder, const std::string& target,
                       const std::vector<std::string>& names, bool data);
// Records the folder and every folder made along its path.
void RecordFolderPath(SetupContext& context, Product product, const std::vector<std::string>& made,
                      const std::string& folder);
