#pragma once
// One admin manager's view of the configuration: applicationHost.config, read
// when the manager is made, and the web.config of each site whose settings it
// opened with the commit path at that site. Changed in memory through the
// element objects, written only by CommitChanges.
#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config_file.h"
#include "config_node.h"
#include "schema.h"

namespace iisadmin {

// What an element object stands for.
struct ElementData {
    std::shared_ptr<class Document> document;
    Node::Ptr node;
    // The counterparts on the levels above, outermost first, which answer what
    // this level does not set: at site level the server level, and for a
    // section in the site's web.config then the site's <location> in
    // applicationHost.config. Null where a level has none.
    std::vector<Node::Ptr> inherited;
    const ElementSchema* schema = nullptr;
    // Entries inherited from a level above, seen from a site: they belong to
    // that level's configuration and are not changed from here.
    bool readOnly = false;
    // The nearest node above that stays when Clear takes this element's
    // settings away: the file's <configuration>, or the collection entry the
    // element belongs to (an entry keeps itself).
    Node::Ptr keep;
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
    // Marks the file that holds the node as changed; a node in no file yet
    // (an entry not added) changes none.
    void Touch(const Node& node);

private:
    Document() = default;
    HRESULT Validate() const;
    // The web.config of the site as the sites section names it now, read on
    // first use; 0x8007000D when the file is there but broken.
    HRESULT SiteWebConfig(std::wstring_view site, std::shared_ptr<ConfigFile>& file);

    std::recursive_mutex mutex_;
    Settings settings_;
    HRESULT loadResult_ = S_OK;
    ConfigFile appHost_;
    // By path, case folded; "" for sites whose folder nobody named.
    std::map<std::wstring, std::shared_ptr<ConfigFile>> webConfigs_;
    DWORD commits_ = 0;
};

// Key of a collection entry for one unique key: the canonical values joined,
// case folded unless the schema says the attribute compares with case;
// nothing when one of the key's attributes is not set.
std::optional<std::wstring> EntryKey(const Node& entry, const ElementSchema& schema,
                                     const std::vector<std::wstring>& key);

}  // namespace iisadmin
