#include "config_node.h"

#include <windows.h>

#include <algorithm>

namespace iisadmin {

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring FoldCase(std::wstring_view text) {
    std::wstring folded(text);
    if (!folded.empty()) ::CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

Node::Ptr Node::Element(std::wstring name, bool implicit) {
    auto node = std::make_shared<Node>();
    node->name = std::move(name);
    node->implicit = implicit;
    return node;
}

Node::Ptr Node::Comment(std::wstring text) {
    auto node = std::make_shared<Node>();
    node->kind = Kind::Comment;
    node->name = std::move(text);
    return node;
}

const std::wstring* Node::Attribute(std::wstring_view attribute) const {
    for (const auto& [key, value] : attributes) {
        if (key == attribute) return &value;
    }
    return nullptr;
}

void Node::SetAttribute(std::wstring_view attribute, std::wstring value) {
    for (auto& [key, existing] : attributes) {
        if (key == attribute) {
            existing = std::move(value);
            return;
        }
    }
    attributes.emplace_back(std::wstring(attribute), std::move(value));
}

bool Node::RemoveAttribute(std::wstring_view attribute) {
    auto it = std::find_if(attributes.begin(), attributes.end(),
                           [&](const auto& pair) { return pair.first == attribute; });
    if (it == attributes.end()) return false;
    attributes.erase(it);
    return true;
}

Node::Ptr Node::Child(std::wstring_view element) const {
    for (const auto& child : children) {
        if (child->kind == Kind::Element && child->name == element) return child;
    }
    return nullptr;
}

std::vector<Node::Ptr> Node::Children(std::wstring_view element) const {
    std::vector<Ptr> found;
    for (const auto& child : children) {
        if (child->kind == Kind::Element && child->name == element) found.push_back(child);
    }
    return found;
}

void Node::Insert(const Ptr& child, size_t position) {
    if (Ptr former = child->parent.lock()) former->Remove(child.get());
    child->parent = weak_from_this();
    if (position >= children.size()) {
        children.push_back(child);
    } else {
        children.insert(children.begin() + static_cast<std::ptrdiff_t>(position), child);
    }
}

void Node::Remove(const Node* child) {
    auto it = std::find_if(children.begin(), children.end(), [&](const Ptr& p) { return p.get() == child; });
    if (it == children.end()) return;
    (*it)->parent.reset();
    children.erase(it);
}

size_t Node::IndexOf(const Node* child) const {
    for (size_t i = 0; i < children.size(); ++i) {
        if (children[i].get() == child) return i;
    }
    return static_cast<size_t>(-1);
}

bool Node::Written() const {
    if (!implicit) return true;
    if (kind == Kind::Element && name != L"location" && !attributes.empty()) return true;
    return std::any_of(children.begin(), children.end(), [](const Ptr& child) { return child->Written(); });
}

}  // namespace iisadmin
