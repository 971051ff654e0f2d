#pragma once
// What the element, property and collection objects do, on plain data: child
// elements made on first use, property reads that fall back to the levels
// above and to the schema's default, and collections as live views of the
// tree (at site level: each level's entries in turn, outermost first, with
// each level's <clear/> and <remove/> applied).
#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document.h"
#include "values.h"

namespace iisadmin {

// Child element by schema name; made in the tree (implicit) when missing.
// 0x80070585 for a name the schema does not have.
HRESULT ChildElement(const ElementData& owner, std::wstring_view name, ElementData& child);

// The property's schema and its spelling; 0x80070585 when neither the schema
// nor the element knows the name, letter case included. A null schema is an attribute of the file
// the schema does not describe (plain text).
HRESULT FindProperty(const ElementData& element, std::wstring_view name, const PropertySchema*& schema,
                     std::wstring& spelling);
// The property's value: set here, else on the nearest level above, else the default;
// nothing when none applies. 0x8007000D for a stored text of the wrong type.
// A runtime property (a pool's "state") comes from the running server: for an
// element not in the committed file 0x800710D8; writing or clearing one
// answers E_ACCESSDENIED.
HRESULT ReadProperty(const ElementData& element, const PropertySchema* schema, std::wstring_view spelling,
                     std::optional<TypedValue>& value);
HRESULT WriteProperty(const ElementData& element, const PropertySchema* schema, std::wstring_view spelling,
                      const VARIANT& value);
HRESULT ResetProperty(const ElementData& element, std::wstring_view spelling);
// Schema properties first, then attributes of the file the schema lacks.
std::vector<std::wstring> PropertyNames(const ElementData& element);

// Element::Clear: every attribute and child of the element removed at this
// level, so the levels above answer again; the element (unless it is a
// collection entry) and what it leaves empty are no longer written.
HRESULT ClearElement(const ElementData& element);

struct Entry {
    Node::Ptr node;
    bool inherited = false;
};
std::vector<Entry> Entries(const ElementData& owner);
ElementData EntryData(const ElementData& owner, const Entry& entry);
// A detached new entry; 0x80070585 for a name the collection does not take.
HRESULT NewEntry(const ElementData& owner, std::wstring_view name, ElementData& entry);
// 0x800700B7 for a key already present, 0x80070002 when the first key is not
// set, 0x80070585 for a position past the end.
HRESULT AddEntry(const ElementData& owner, const ElementData& entry, int position);
HRESULT DeleteEntry(const ElementData& owner, size_t index);
HRESULT ClearEntries(const ElementData& owner);

}  // namespace iisadmin
