#include "document.h"

#include <set>

#include "com_object.h"
#include "config_paths.h"
#include "config_xml.h"
#include "values.h"
#include "win/handles.h"

namespace iisadmin {
namespace {

constexpr wchar_t kScenarioKey[] = L"SOFTWARE\\CorvantaTestbed\\Iis";

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

std::wstring Folded(std::wstring text) {
    if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Every collection in the tree checked for two entries with one key, as IIS
// checks before it writes.
HRESULT ValidateElement(const Node& node, const ElementSchema& schema) {
    if (schema.collection) {
        const CollectionSchema& collection = *schema.collection;
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

std::optional<std::string> ReadWholeFile(const std::wstring& path, HRESULT* error) {
    win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
        if (error) *error = HRESULT_FROM_WIN32(file ? ERROR_FILE_TOO_LARGE : ::GetLastError());
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        if (error) *error = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::wstring> EntryKey(const Node& entry, const ElementSchema& schema,
                                     const std::vector<std::wstring>& key) {
    std::wstring joined;
    for (const auto& name : key) {
        const std::wstring* stored = entry.Attribute(name);
        if (!stored) return std::nullopt;
        const PropertySchema* property = schema.Property(name);
        std::optional<TypedValue> value = ParseStored(property, *stored);
        joined += value ? FormatValue(property, *value) : *stored;
        joined += L'\x1f';
    }
    return Folded(std::move(joined));
}

std::shared_ptr<Document> Document::Load(std::wstring path, Settings settings) {
    std::shared_ptr<Document> document(new Document());
    document->path_ = std::move(path);
    document->settings_ = settings;
    HRESULT error = S_OK;
    std::optional<std::string> bytes = ReadWholeFile(document->path_, &error);
    if (!bytes) {
        // A missing inetsrv\config folder means no file as much as a missing file.
        document->loadResult_ = error == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) ? kFileNotFound : error;
        return document;
    }
    ParsedFile parsed = ParseConfiguration(*bytes);
    if (FAILED(parsed.result)) {
        document->loadResult_ = parsed.result;
        return document;
    }
    document->file_ = parsed.file;
    document->configuration_ = parsed.file->Child(L"configuration");
    if (!document->configuration_) document->loadResult_ = kInvalidData;
    return document;
}

HRESULT Document::OpenSection(std::wstring_view section, std::wstring_view path, std::wstring_view commitPath,
                              ElementData& out) {
    if (FAILED(loadResult_)) return loadResult_;
    std::wstring location;
    if (!LocationOfPath(path.empty() ? kServerPath : path, location)) return E_INVALIDARG;
    const ElementSchema* schema = SectionSchema(section);
    if (!schema || !SectionDeclared(*configuration_, section)) return kNotFound;

    out = ElementData{shared_from_this(), nullptr, nullptr, schema, false};
    Node::Ptr server = FindServerSection(*configuration_, section);
    if (!server) server = MakeSection(configuration_, section);
    if (location.empty()) {
        out.node = server;
        return S_OK;
    }
    // A change at site level goes into the site's own configuration unless the
    // commit path keeps it in applicationHost.config; only the former is
    // refused for a section locked at server level.
    std::wstring commitLocation;
    const bool commitBelowServer = !LocationOfPath(commitPath, commitLocation) || !commitLocation.empty();
    if (commitBelowServer && SectionLocked(*configuration_, section, location)) return kLockViolation;

    Node::Ptr local = FindLocationSection(*configuration_, location, section);
    if (!local) local = MakeSection(MakeLocation(configuration_, location), section);
    out.node = local;
    out.inherited = server;
    return S_OK;
}

HRESULT Document::Validate() const {
    for (const auto& section : KnownSections()) {
        const ElementSchema* schema = SectionSchema(section);
        if (Node::Ptr server = FindServerSection(*configuration_, section)) {
            if (HRESULT hr = ValidateElement(*server, *schema); FAILED(hr)) return hr;
        }
        for (const auto& location : configuration_->Children(L"location")) {
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

HRESULT Document::Write(const std::string& bytes) const {
    const std::wstring temporary = path_ + L".tmp" + std::to_wstring(::GetCurrentProcessId());
    {
        win::FileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return HRESULT_FROM_WIN32(::GetLastError());
        DWORD written = 0;
        const BOOL ok = ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        if (!ok || written != bytes.size() || !::FlushFileBuffers(file.Get())) {
            const DWORD error = ok ? ERROR_WRITE_FAULT : ::GetLastError();
            file.Reset();
            ::DeleteFileW(temporary.c_str());
            return HRESULT_FROM_WIN32(error);
        }
    }
    if (!::MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        return HRESULT_FROM_WIN32(error);
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
    if (!dirty_) return S_OK;
    if (HRESULT hr = Write(SerializeConfiguration(*file_)); FAILED(hr)) return hr;
    dirty_ = false;
    return S_OK;
}

}  // namespace iisadmin
