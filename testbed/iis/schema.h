#pragma once
// The stand-in's own small copy of the IIS configuration schema: for the
// sections the setup touches, which properties (with type and default), child
// elements, collections (add element, unique keys) and methods exist. The real
// schema files of IIS are not needed.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iisadmin {

enum class ValueType { String, Bool, Int32, UInt32, Int64, Enum, Flags };

struct EnumValue {
    std::wstring name;
    long value;
};

struct PropertySchema {
    std::wstring name;
    ValueType type = ValueType::String;
    std::optional<std::wstring> defaultValue;  // none: an absent attribute reads as ""
    std::vector<EnumValue> values;            // for Enum and Flags
    // Answered by the running server rather than the file (a pool's "state"):
    // read-only, never stored.
    bool runtime = false;
    // Must be set on every entry of its collection when the configuration is
    // committed; unique keys always are.
    bool required = false;
    // As a key, compared with letter case (handler names, verbs); other keys
    // compare without it.
    bool caseSensitive = false;
};

struct ElementSchema;

// What the running server knows an element as: its methods and runtime
// properties go there.
enum class RunKind { None, Site, ApplicationPool };

struct CollectionSchema {
    std::wstring addName;  // "add", "site", "application", ...
    const ElementSchema* entry = nullptr;
    // Each inner list is one unique key; more than one name make a combined key.
    // The first key must be set on an entry before it is added.
    std::vector<std::vector<std::wstring>> uniqueKeys;
};

struct ElementSchema {
    std::wstring name;
    std::vector<PropertySchema> properties;
    std::vector<const ElementSchema*> children;
    std::optional<CollectionSchema> collection;
    std::vector<std::wstring> methods;
    RunKind run = RunKind::None;

    // Names compare exactly, as in IIS's schema: "Id" is not "id".
    const PropertySchema* Property(std::wstring_view property) const;
    const ElementSchema* Child(std::wstring_view child) const;
};

// The schema of a section by its full name ("system.webServer/handlers"),
// names compared exactly; null for a section the stand-in does not know.
const ElementSchema* SectionSchema(std::wstring_view section);
// Every section the stand-in knows, for the checks made before a commit.
std::vector<std::wstring> KnownSections();

}  // namespace iisadmin
