#include "config_paths.h"

#include <windows.h>

namespace iisadmin {
namespace {

std::wstring_view TrimSlashes(std::wstring_view s) {
    while (!s.empty() && s.front() == L'/') s.remove_prefix(1);
    while (!s.empty() && s.back() == L'/') s.remove_suffix(1);
    return s;
}

bool IsServerLocation(const Node& location) {
    const std::wstring* path = location.Attribute(L"path");
    return !path || path->empty() || *path == L".";
}

bool SameLocation(const Node& location, std::wstring_view wanted) {
    const std::wstring* path = location.Attribute(L"path");
    return path && EqualsNoCase(TrimSlashes(*path), wanted);
}

Node::Ptr Descend(const Node& container, const std::vector<std::wstring>& parts) {
    Node::Ptr node;
    const Node* at = &container;
    for (const auto& part : parts) {
        node = at->Child(part);
        if (!node) return nullptr;
        at = node.get();
    }
    return node;
}

// The declaration <section> of a section inside <configSections>.
Node::Ptr Declaration(const Node& configuration, std::wstring_view section) {
    Node::Ptr groups = configuration.Child(L"configSections");
    if (!groups) return nullptr;
    const std::vector<std::wstring> parts = SectionParts(section);
    Node::Ptr at = groups;
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        Node::Ptr next;
        for (const auto& child : at->Children(last ? L"section" : L"sectionGroup")) {
            const std::wstring* name = child->Attribute(L"name");
            if (name && *name == parts[i]) {
                next = child;
                break;
            }
        }
        if (!next) return nullptr;
        at = next;
    }
    return at;
}

// Applies a location's lock setting for the section, when it holds it.
void ApplyLocationMode(const Node& location, std::wstring_view section, bool& locked) {
    if (!Descend(location, SectionParts(section))) return;
    if (const std::wstring* mode = location.Attribute(L"overrideMode")) {
        if (EqualsNoCase(*mode, L"Deny")) locked = true;
        if (EqualsNoCase(*mode, L"Allow")) locked = false;
    } else if (const std::wstring* allow = location.Attribute(L"allowOverride")) {
        locked = EqualsNoCase(*allow, L"false");
    }
}

// The entry of the collection whose attribute has that value.
Node::Ptr EntryWith(const Node& collection, std::wstring_view element, std::wstring_view attribute,
                    std::wstring_view value) {
    for (const auto& entry : collection.Children(element)) {
        const std::wstring* text = entry->Attribute(attribute);
        if (text && EqualsNoCase(*text, value)) return entry;
    }
    return nullptr;
}

std::wstring Expanded(const std::wstring& text) {
    const DWORD needed = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::wstring expanded(needed, L'\0');
    const DWORD written = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
    if (written == 0 || written > needed) return text;
    expanded.resize(written - 1);
    return expanded;
}

}  // namespace

bool LocationOfPath(std::wstring_view path, std::wstring& location) {
    path = TrimSlashes(path);
    if (path.size() < kServerPath.size() || !EqualsNoCase(path.substr(0, kServerPath.size()), kServerPath)) {
        return false;
    }
    std::wstring_view rest = path.substr(kServerPath.size());
    if (!rest.empty() && rest.front() != L'/') return false;
    location = std::wstring(TrimSlashes(rest));
    return true;
}

std::vector<std::wstring> SectionParts(std::wstring_view section) {
    std::vector<std::wstring> parts;
    while (!section.empty()) {
        const size_t slash = section.find(L'/');
        parts.emplace_back(section.substr(0, slash));
        section = slash == std::wstring_view::npos ? std::wstring_view() : section.substr(slash + 1);
    }
    return parts;
}

bool SectionDeclared(const Node& configuration, std::wstring_view section) {
    return Declaration(configuration, section) != nullptr;
}

Node::Ptr FindServerSection(const Node& configuration, std::wstring_view section) {
    const std::vector<std::wstring> parts = SectionParts(section);
    if (Node::Ptr direct = Descend(configuration, parts)) return direct;
    for (const auto& location : configuration.Children(L"location")) {
        if (!IsServerLocation(*location)) continue;
        if (Node::Ptr inside = Descend(*location, parts)) return inside;
    }
    return nullptr;
}

Node::Ptr FindLocationSection(const Node& configuration, std::wstring_view location, std::wstring_view section) {
    const std::vector<std::wstring> parts = SectionParts(section);
    for (const auto& candidate : configuration.Children(L"location")) {
        if (IsServerLocation(*candidate) || !SameLocation(*candidate, location)) continue;
        if (Node::Ptr inside = Descend(*candidate, parts)) return inside;
    }
    return nullptr;
}

Node::Ptr MakeSection(const Node::Ptr& container, std::wstring_view section) {
    Node::Ptr at = container;
    for (const auto& part : SectionParts(section)) {
        Node::Ptr next = at->Child(part);
        if (!next) {
            next = Node::Element(part, true);
            at->Insert(next);
        }
        at = next;
    }
    return at;
}

Node::Ptr MakeLocation(const Node::Ptr& configuration, std::wstring_view location) {
    for (const auto& candidate : configuration->Children(L"location")) {
        if (!IsServerLocation(*candidate) && SameLocation(*candidate, location)) return candidate;
    }
    Node::Ptr made = Node::Element(L"location", true);
    made->SetAttribute(L"path", std::wstring(location));
    made->blankBefore = true;
    configuration->Insert(made);
    return made;
}

bool SectionLocked(const Node& configuration, std::wstring_view section, std::wstring_view location) {
    bool locked = false;
    if (Node::Ptr declaration = Declaration(configuration, section)) {
        const std::wstring* mode = declaration->Attribute(L"overrideModeDefault");
        locked = mode && EqualsNoCase(*mode, L"Deny");
    }
    for (const auto& candidate : configuration.Children(L"location")) {
        if (IsServerLocation(*candidate)) ApplyLocationMode(*candidate, section, locked);
    }
    for (const auto& candidate : configuration.Children(L"location")) {
        if (!IsServerLocation(*candidate) && SameLocation(*candidate, location)) {
            ApplyLocationMode(*candidate, section, locked);
        }
    }
    return locked;
}

bool SectionAppHostOnly(const Node& configuration, std::wstring_view section) {
    Node::Ptr declaration = Declaration(configuration, section);
    const std::wstring* definition = declaration ? declaration->Attribute(L"allowDefinition") : nullptr;
    return definition && EqualsNoCase(*definition, L"AppHostOnly");
}

std::wstring SiteWebConfigPath(const Node& sites, std::wstring_view site) {
    Node::Ptr entry = EntryWith(sites, L"site", L"name", site);
    Node::Ptr application = entry ? EntryWith(*entry, L"application", L"path", L"/") : nullptr;
    Node::Ptr directory = application ? EntryWith(*application, L"virtualDirectory", L"path", L"/") : nullptr;
    const std::wstring* physical = directory ? directory->Attribute(L"physicalPath") : nullptr;
    if (!physical || physical->empty()) return {};
    std::wstring folder = Expanded(*physical);
    if (folder.empty()) return {};
    if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder + L"web.config";
}

}  // namespace iisadmin
