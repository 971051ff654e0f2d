#pragma once
// One admin manager's view of applicationHost.config: read when the manager is
// made, changed in memory through the element objects, written only by
// CommitChanges (temporary file, then renamed over the old one).
#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "config_node.h"
#include "schema.h"

namespace iisadmin {

// What an element object stands for. At site level "inherited" is the
// server-level counterpart that answers reads the site does not override.
struct ElementData {
    std::shared_ptr<class Document> document;
    Node::Ptr node;
    Node::Ptr inherited;
    const ElementSchema* schema = nullptr;
    // Entries inherited from the server level, seen from a site: they belong to
    // the server level's configuration and are not changed from here.
    bool readOnly = false;
};

// Scenario settings under HKLM\SOFTWARE\CorvantaTestbed\Iis.
struct Settings {
    HRESULT commitFailure = S_OK;  // "CommitFailure": HRESULT a commit answers with
    DWORD commitFailureOn = 0;     // "CommitFailureOn": which commit (1, 2, ...), 0 every one
    DWORD poolStopMs = 0;          // "PoolStopMs": how long stopping a started pool takes
};
Settings ReadSettings();

// C:\Windows\System32\inetsrv\config\applicationHost.config
std::wstring ConfigurationFilePath();

class Document : public std::enable_shared_from_this<Document> {
public:
    static std::shared_ptr<Document> Load(std::wstring path, Settings settings);

    std::recursive_mutex& Mutex() { return mutex_; }
    // S_OK, or why the file could not be used (0x80070002 missing, 0x8007000D
    // not well-formed); every section access then answers with it.
    HRESULT LoadResult() const { return loadResult_; }

    HRESULT OpenSection(std::wstring_view section, std::wstring_view path, std::wstring_view commitPath,
                        ElementData& out);
    HRESULT Commit();
    void Touch() { dirty_ = true; }

private:
    Document() = default;
    HRESULT Validate() const;
    HRESULT Write(const std::string& bytes) const;

    std::recursive_mutex mutex_;
    std::wstring path_;
    Settings settings_;
    HRESULT loadResult_ = S_OK;
    Node::Ptr file_;
    Node::Ptr configuration_;
    bool dirty_ = false;
    DWORD commits_ = 0;
};

// Key of a collection entry for one unique key: the canonical values joined,
// case folded; nothing when one of the key's attributes is not set.
std::optional<std::wstring> EntryKey(const Node& entry, const ElementSchema& schema,
                                     const std::vector<std::wstring>& key);

// The file's bytes; nothing when it cannot be read (error in *error).
std::optional<std::string> ReadWholeFile(const std::wstring& path, HRESULT* error);

}  // namespace iisadmin
