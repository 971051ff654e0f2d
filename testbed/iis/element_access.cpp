#include "element_access.h"

#include <algorithm>

#include "com_object.h"
#include "pool_state.h"

namespace iisadmin {
namespace {

constexpr std::wstring_view kClear = L"clear";
constexpr std::wstring_view kRemove = L"remove";

bool IsCollectionItem(const Node& node, const CollectionSchema& collection) {
    return node.kind == Node::Kind::Element &&
           (node.name == collection.addName || node.name == kClear || node.name == kRemove);
}

// The entries a collection element holds after its own <clear/>, <remove/>
// and entries are applied, in order, to the ones it inherits.
void Apply(std::vector<Entry>& list, const Node& owner, const CollectionSchema& collection, bool inherited) {
    for (const auto& child : owner.children) {
        if (child->kind != Node::Kind::Element) continue;
        if (child->name == kClear) {
            list.clear();
        } else if (child->name == kRemove) {
            const auto& key = collection.uniqueKeys.front();
            std::optional<std::wstring> removed = EntryKey(*child, *collection.entry, key);
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&](const Entry& e) {
                                          return removed && EntryKey(*e.node, *collection.entry, key) == removed;
                                      }),
                       list.end());
        } else if (child->name == collection.addName) {
            list.push_back(Entry{child, inherited});
        }
    }
}

HRESULT Editable(const ElementData& element) { return element.readOnly ? E_ACCESSDENIED : S_OK; }

// The element's own level first, then the levels it inherits from, innermost first.
std::vector<const Node*> Levels(const ElementData& element) {
    std::vector<const Node*> levels{element.node.get()};
    for (auto level = element.inherited.rbegin(); level != element.inherited.rend(); ++level) {
        if (*level) levels.push_back(level->get());
    }
    return levels;
}

// A runtime property is asked of the running server, which knows the element
// by the name it has in the committed file.
HRESULT ReadRuntimeProperty(const ElementData& element, const PropertySchema& schema,
                            std::optional<TypedValue>& value) {
    if (element.schema->run != RunKind::ApplicationPool) return kNotSupported;
    const std::wstring* name = element.node->Attribute(L"name");
    bool started = false;
    if (HRESULT hr = PoolRunState(name ? *name : std::wstring(), started); FAILED(hr)) return hr;
    value = ParseStored(&schema, started ? L"Started" : L"Stopped");
    return value ? S_OK : kInvalidData;
}

}  // namespace

HRESULT ChildElement(const ElementData& owner, std::wstring_view name, ElementData& child) {
    const ElementSchema* schema = owner.schema->Child(name);
    if (!schema) return kInvalidIndex;
    Node::Ptr local = owner.node->Child(schema->name);
    if (!local) {
        local = Node::Element(schema->name, true);
        owner.node->Insert(local);
    }
    std::vector<Node::Ptr> inherited;
    for (const auto& level : owner.inherited) inherited.push_back(level ? level->Child(schema->name) : nullptr);
    child = ElementData{owner.document, local, std::move(inherited), schema, owner.readOnly, owner.keep};
    return S_OK;
}

HRESULT FindProperty(const ElementData& element, std::wstring_view name, const PropertySchema*& schema,
                     std::wstring& spelling) {
    schema = element.schema->Property(name);
    if (schema) {
        spelling = schema->name;
        return S_OK;
    }
    for (const Node* node : Levels(element)) {
        for (const auto& attribute : node->attributes) {
            if (attribute.first == name) {
                spelling = attribute.first;
                return S_OK;
            }
        }
    }
    return kInvalidIndex;
}

HRESULT ReadProperty(const ElementData& element, const PropertySchema* schema, std::wstring_view spelling,
                     std::optional<TypedValue>& value) {
    if (schema && schema->runtime) return ReadRuntimeProperty(element, *schema, value);
    const std::wstring* stored = nullptr;
    for (const Node* node : Levels(element)) {
        stored = node->Attribute(spelling);
        if (stored) break;
    }
    if (!stored && schema && schema->defaultValue) stored = &*schema->defaultValue;
    if (!stored) {
        value.reset();
        return S_OK;
    }
    value = ParseStored(schema, *stored);
    return value ? S_OK : kInvalidData;
}

HRESULT WriteProperty(const ElementData& element, const PropertySchema* schema, std::wstring_view spelling,
                      const VARIANT& value) {
    if (HRESULT hr = Editable(element); FAILED(hr)) return hr;
    if (schema && schema->runtime) return E_ACCESSDENIED;
    TypedValue typed;
    if (HRESULT hr = FromVariant(schema, value, typed); FAILED(hr)) return hr;
    element.node->SetAttribute(spelling, FormatValue(schema, typed));
    element.document->Touch(*element.node);
    return S_OK;
}

HRESULT ResetProperty(const ElementData& element, std::wstring_view spelling) {
    if (HRESULT hr = Editable(element); FAILED(hr)) return hr;
    if (const PropertySchema* schema = element.schema->Property(spelling); schema && schema->runtime) {
        return E_ACCESSDENIED;
    }
    if (element.node->RemoveAttribute(spelling)) element.document->Touch(*element.node);
    return S_OK;
}

std::vector<std::wstring> PropertyNames(const ElementData& element) {
    std::vector<std::wstring> names;
    for (const auto& p : element.schema->properties) names.push_back(p.name);
    for (const Node* node : Levels(element)) {
        for (const auto& attribute : node->attributes) {
            const bool known = std::any_of(names.begin(), names.end(),
                                           [&](const std::wstring& n) { return n == attribute.first; });
            if (!known) names.push_back(attribute.first);
        }
    }
    return names;
}

HRESULT ClearElement(const ElementData& element) {
    if (HRESULT hr = Editable(element); FAILED(hr)) return hr;
    element.document->Touch(*element.node);
    element.node->attributes.clear();
    while (!element.node->children.empty()) element.node->Remove(element.node->children.back().get());
    // What is left comes from the levels above; the element, and the section
    // groups or <location> it leaves empty, are no longer written.
    for (Node::Ptr at = element.node; at && at != element.keep; at = at->parent.lock()) at->implicit = true;
    return S_OK;
}

std::vector<Entry> Entries(const ElementData& owner) {
    std::vector<Entry> list;
    if (!owner.schema->collection) return list;
    for (const auto& level : owner.inherited) {
        if (level) Apply(list, *level, *owner.schema->collection, true);
    }
    Apply(list, *owner.node, *owner.schema->collection, owner.readOnly);
    return list;
}

ElementData EntryData(const ElementData& owner, const Entry& entry) {
    return ElementData{owner.document, entry.node, {}, owner.schema->collection->entry,
                       owner.readOnly || entry.inherited, entry.node};
}

HRESULT NewEntry(const ElementData& owner, std::wstring_view name, ElementData& entry) {
    if (!owner.schema->collection) return kNotSupported;
    const CollectionSchema& collection = *owner.schema->collection;
    if (name != collection.addName) return kInvalidIndex;
    Node::Ptr node = Node::Element(collection.addName);
    entry = ElementData{owner.document, node, {}, collection.entry, false, node};
    return S_OK;
}

HRESULT AddEntry(const ElementData& owner, const ElementData& entry, int position) {
    if (HRESULT hr = Editable(owner); FAILED(hr)) return hr;
    if (!owner.schema->collection) return kNotSupported;
    const CollectionSchema& collection = *owner.schema->collection;
    if (entry.document != owner.document || entry.schema != collection.entry || entry.readOnly ||
        entry.node->name != collection.addName || position < -1) {
        return E_INVALIDARG;
    }
    const std::vector<Entry> entries = Entries(owner);
    const bool alreadyHere = std::any_of(entries.begin(), entries.end(),
                                         [&](const Entry& e) { return e.node == entry.node; });
    if (entry.node->Attached() && !alreadyHere) return E_INVALIDARG;
    if (!EntryKey(*entry.node, *collection.entry, collection.uniqueKeys.front())) return kFileNotFound;
    for (const auto& key : collection.uniqueKeys) {
        std::optional<std::wstring> value = EntryKey(*entry.node, *collection.entry, key);
        if (!value) continue;
        for (const auto& existing : entries) {
            if (EntryKey(*existing.node, *collection.entry, key) == value) return kAlreadyExists;
        }
    }
    if (position > static_cast<int>(entries.size())) return kInvalidIndex;

    size_t at = static_cast<size_t>(-1);
    if (position >= 0 && position < static_cast<int>(entries.size())) {
        const Entry& before = entries[static_cast<size_t>(position)];
        at = before.inherited ? 0 : owner.node->IndexOf(before.node.get());
    } else {
        // After the last entry the element holds, before its child elements.
        for (size_t i = 0; i < owner.node->children.size(); ++i) {
            if (IsCollectionItem(*owner.node->children[i], collection)) at = i + 1;
        }
        if (at == static_cast<size_t>(-1)) at = 0;
    }
    entry.node->implicit = false;
    owner.node->Insert(entry.node, at);
    owner.document->Touch(*owner.node);
    return S_OK;
}

HRESULT DeleteEntry(const ElementData& owner, size_t index) {
    if (HRESULT hr = Editable(owner); FAILED(hr)) return hr;
    const std::vector<Entry> entries = Entries(owner);
    if (index >= entries.size()) return kInvalidIndex;
    const Entry& entry = entries[index];
    if (!entry.inherited) {
        owner.node->Remove(entry.node.get());
    } else {
        // An inherited entry is taken away at this level only.
        const CollectionSchema& collection = *owner.schema->collection;
        Node::Ptr remove = Node::Element(std::wstring(kRemove));
        for (const auto& name : collection.uniqueKeys.front()) {
            if (const std::wstring* value = entry.node->Attribute(name)) remove->SetAttribute(name, *value);
        }
        owner.node->Insert(remove);
    }
    owner.document->Touch(*owner.node);
    return S_OK;
}

HRESULT ClearEntries(const ElementData& owner) {
    if (HRESULT hr = Editable(owner); FAILED(hr)) return hr;
    if (!owner.schema->collection) return kNotSupported;
    const CollectionSchema& collection = *owner.schema->collection;
    std::vector<Node*> items;
    for (const auto& child : owner.node->children) {
        if (IsCollectionItem(*child, collection)) items.push_back(child.get());
    }
    for (Node* item : items) owner.node->Remove(item);
    // At site level the inherited entries stay out only with a <clear/>.
    if (!owner.inherited.empty()) owner.node->Insert(Node::Element(std::wstring(kClear)), 0);
    owner.document->Touch(*owner.node);
    return S_OK;
}

}  // namespace iisadmin
