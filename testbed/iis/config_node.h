#pragma once
// The configuration file as a small tree: elements with their attributes in file
// order, and comments, which survive a rewrite like they do with IIS.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace iisadmin {

bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
// The text in upper case, for comparisons without letter case.
std::wstring FoldCase(std::wstring_view text);

struct Node : std::enable_shared_from_this<Node> {
    enum class Kind { Element, Comment };
    using Ptr = std::shared_ptr<Node>;

    Kind kind = Kind::Element;
    std::wstring name;  // element name, or the text of a comment
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::vector<Ptr> children;
    std::weak_ptr<Node> parent;
    // Made by the stand-in on the way to something (a <location>, a section, a
    // child element); written only once it holds an attribute or a written child.
    bool implicit = false;
    // Empty lines the file had before the element and before its end tag; kept
    // so a rewritten file keeps its layout.
    bool blankBefore = false;
    bool blankBeforeEnd = false;

    static Ptr Element(std::wstring name, bool implicit = false);
    static Ptr Comment(std::wstring text);

    // Attribute names compare exactly, as XML names and IIS property names do.
    const std::wstring* Attribute(std::wstring_view attribute) const;
    void SetAttribute(std::wstring_view attribute, std::wstring value);
    bool RemoveAttribute(std::wstring_view attribute);

    // Element names compare exactly, as XML names do.
    Ptr Child(std::wstring_view element) const;
    std::vector<Ptr> Children(std::wstring_view element) const;
    // Appends when position is past the end; the child leaves its former parent.
    void Insert(const Ptr& child, size_t position = static_cast<size_t>(-1));
    void Remove(const Node* child);
    bool Attached() const { return !parent.expired(); }
    size_t IndexOf(const Node* child) const;
    // Whether the file needs this node: everything read from the file, and
    // implicit nodes once they carry something.
    bool Written() const;
};

}  // namespace iisadmin
