#include "document.h"

#include <set>

#include "com_object.h"
#include "config_paths.h"
#include "values.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

constexpr wchar_t kScenarioKey[] = L"SOFTWARE\\CorvantaTestbed\\Iis";
constexpr wchar_t kSitesSection[] = L"system.applicationHost/sites";

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

// IIS refuses to write an entry without an attribute its schema requires (a
// site without its id, a binding without its protocol).
HRESULT ValidateRequired(const Node& entry, const ElementSchema& schema) {
    for (const auto& property : schema.properties) {
        if (property.required && !entry.Attribute(property.name)) return kMissingRequired;
    }
    return S_OK;
}

// Every collection in the tree checked for entries without what they require
// and for two entries with one key, as IIS checks before it writes.
HRESULT ValidateElement(const Node& node, const ElementSchema& schema) {
    if (schema.collection) {
        const CollectionSchema& collection = *schema.collection;
        for (const auto& entry : node.Children(collection.addName)) {
            if (HRESULT hr = ValidateRequired(*entry, *collection.entry); FAILED(hr)) return hr;
        }
        for (const auto& key : collection.uniqueKeys) {
            std::set<std::wstring> seen;
            for (const auto& entry : node.Children(collection.addName)) {
                std::optional<std::wstring> value = EntryKey(*entry, *collection.entry, key);
                if (value && !seen.insert(*value).second) return kAlreadyExists;
            }
        }
    }
    for (const auto& child : node.children) {
        if (child->kind != Node::Kind::Element) continue;
        const ElementSchema* childSchema = schema.collection && child->name == schema.collection->addName
                                               ? schema.collection->entry
                                               : schema.Child(child->name);
        if (childSchema) {
            if (HRESULT hr = ValidateElement(*child, *childSchema); FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT ValidateFile(const ConfigFile& file) {
    for (const auto& section : KnownSections()) {
        const ElementSchema* schema = SectionSchema(section);
        if (Node::Ptr server = FindServerSection(*file.configuration, section)) {
            if (HRESULT hr = ValidateElement(*server, *schema); FAILED(hr)) return hr;
        }
        for (const auto& location : file.configuration->Children(L"location")) {
            Node::Ptr at = location;
            for (const auto& part : SectionParts(section)) {
                at = at ? at->Child(part) : nullptr;
            }
            if (at) {
                if (HRESULT hr = ValidateElement(*at, *schema); FAILED(hr)) return hr;
            }
        }
    }
    return S_OK;
}

const Node* RootOf(const Node& node) {
    const Node* at = &node;
    for (Node::Ptr parent = at->parent.lock(); parent; parent = parent->parent.lock()) at = parent.get();
    return at;
}

}  // namespace

Settings ReadSettings() {
    Settings settings;
    win::RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kScenarioKey, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) !=
        ERROR_SUCCESS) {
        return settings;
    }
    if (auto failure = ReadDword(key.Get(), L"CommitFailure")) settings.commitFailure = static_cast<HRESULT>(*failure);
    if (auto on = ReadDword(key.Get(), L"CommitFailureOn")) settings.commitFailureOn = *on;
    if (auto ms = ReadDword(key.Get(), L"PoolStopMs")) settings.poolStopMs = *ms;
    return settings;
}

std::wstring ConfigurationFilePath() {
    wchar_t system[MAX_PATH] = {};
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring folder = (n > 0 && n < MAX_PATH) ? std::wstring(system, n) : std::wstring(L"C:\\Windows\\System32");
    return folder + L"\\inetsrv\\config\\applicationHost.config";
}

std::optional<std::wstring> EntryKey(const Node& entry, const ElementSchema& schema,
                                     const std::vector<std::wstring>& key) {
    std::wstring joined;
    for (const auto& name : key) {
        const std::wstring* stored = entry.Attribute(name);
        if (!stored) return std::nullopt;
        const PropertySchema* property = schema.Property(name);
        std::optional<TypedValue> value = ParseStored(property, *stored);
        const std::wstring canonical = value ? FormatValue(property, *value) : *stored;
        joined += property && property->caseSensitive ? canonical : FoldCase(canonical);
        joined += L'\x1f';
    }
    return joined;
}

std::shared_ptr<Document> Document::Load(std::wstring path, Settings settings) {
    std::shared_ptr<Document> document(new Document());
    document->settings_ = settings;
    document->loadResult_ = LoadConfigFile(path, document->appHost_);
    return document;
}

HRESULT Document::SiteWebConfig(std::wstring_view site, std::shared_ptr<ConfigFile>& file) {
    Node::Ptr sites = FindServerSection(*appHost_.configuration, kSitesSection);
    const std::wstring path = sites ? SiteWebConfigPath(*sites, site) : std::wstring();
    const std::wstring key = FoldCase(path);
    if (auto known = webConfigs_.find(key); known != webConfigs_.end()) {
        file = known->second;
        return S_OK;
    }
    auto loaded = std::make_shared<ConfigFile>();
    if (HRESULT hr = LoadWebConfig(path, *loaded); FAILED(hr)) return hr;
    webConfigs_[key] = loaded;
    file = loaded;
    return S_OK;
}

HRESULT Document::OpenSection(std::wstring_view section, std::wstring_view path, std::wstring_view commitPath,
                              ElementData& out) {
    if (FAILED(loadResult_)) return loadResult_;
    Node::Ptr configuration = appHost_.configuration;
    std::wstring location;
    if (!LocationOfPath(path.empty() ? kServerPath : path, location)) return E_INVALIDARG;
    const ElementSchema* schema = SectionSchema(section);
    if (!schema || !SectionDeclared(*configuration, section)) return kNotFound;

    out = ElementData{shared_from_this(), nullptr, {}, schema, false, configuration};
    Node::Ptr server = FindServerSection(*configuration, section);
    if (!server) server = MakeSection(configuration, section);
    if (location.empty()) {
        out.node = server;
        return S_OK;
    }
    // A change at site level goes into the site's own configuration unless the
    // commit path keeps it in applicationHost.config; only the former is
    // refused for a section locked at server level.
    std::wstring commitLocation;
    const bool commitBelowServer = !LocationOfPath(commitPath, commitLocation) || !commitLocation.empty();
    if (commitBelowServer && SectionLocked(*configuration, section, location)) return kLockViolation;

    Node::Ptr local = FindLocationSection(*configuration, location, section);
    const bool inWebConfig = commitBelowServer && EqualsNoCase(commitLocation, location) &&
                             location.find(L'/') == std::wstring::npos && !SectionAppHostOnly(*configuration, section);
    if (!inWebConfig) {
        if (!local) local = MakeSection(MakeLocation(configuration, location), section);
        out.node = local;
        out.inherited = {server};
        return S_OK;
    }
    // The site's web.config comes after what applicationHost.config says for
    // the site, as IIS merges them.
    std::shared_ptr<ConfigFile> file;
    if (HRESULT hr = SiteWebConfig(location, file); FAILED(hr)) return hr;
    Node::Ptr own = FindServerSection(*file->configuration, section);
    if (!own) own = MakeSection(file->configuration, section);
    out.node = own;
    out.inherited = {server, local};
    out.keep = file->configuration;
    return S_OK;
}

void Document::Touch(const Node& node) {
    const Node* root = RootOf(node);
    if (root == appHost_.root.get()) appHost_.dirty = true;
    for (auto& entry : webConfigs_) {
        if (root == entry.second->root.get()) entry.second->dirty = true;
    }
}

HRESULT Document::Validate() const {
    if (HRESULT hr = ValidateFile(appHost_); FAILED(hr)) return hr;
    for (const auto& entry : webConfigs_) {
        if (HRESULT hr = ValidateFile(*entry.second); FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Document::Commit() {
    if (FAILED(loadResult_)) return loadResult_;
    ++commits_;
    if (FAILED(settings_.commitFailure) &&
        (settings_.commitFailureOn == 0 || settings_.commitFailureOn == commits_)) {
        return settings_.commitFailure;
    }
    if (HRESULT hr = Validate(); FAILED(hr)) return hr;
    // A site's settings need the site's folder; without it nothing is written.
    for (const auto& entry : webConfigs_) {
        if (entry.second->dirty && !FolderExists(*entry.second)) return kPathNotFound;
    }
    for (auto& entry : webConfigs_) {
        ConfigFile& file = *entry.second;
        if (!file.dirty) continue;
        if (HRESULT hr = WriteConfigFile(file); FAILED(hr)) return hr;
        file.dirty = false;
    }
    if (!appHost_.dirty) return S_OK;
    if (HRESULT hr = WriteConfigFile(appHost_); FAILED(hr)) return hr;
    appHost_.dirty = false;
    return S_OK;
}

}  // namespace iisadmin
