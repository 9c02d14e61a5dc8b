#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct duk_hthread;

namespace pf {

// A parsed document held natively, read-only, from which a page's script side makes its nodes
// as scripts first reach them: a page whose scripts never walk the document pays for the few
// nodes it touches, not for a script object per node (see DomPrelude).
//
// Nodes are elements (a tag name and attributes in document order) or texts. The children of a
// node are consecutive nodes; node 0 is the root element.
class DocumentTree {
public:
    struct Node {
        bool element { false };
        std::uint32_t text { 0 }; // the tag name or the text, in the pool
        std::uint32_t textLength { 0 };
        std::uint32_t firstAttribute { 0 };
        std::uint32_t attributeCount { 0 };
        std::uint32_t firstChild { 0 };
        std::uint32_t childCount { 0 };
    };

    // Building: a node's attributes are given with it; its children are added later, all at once.
    std::uint32_t addText(std::string_view text);
    std::uint32_t addElement(std::string_view tag, const std::vector<std::pair<std::string_view, std::string_view>>& attributes);
    void setChildren(std::uint32_t node, std::uint32_t first, std::uint32_t count);

    size_t size() const { return m_nodes.size(); }
    const Node& node(std::uint32_t index) const { return m_nodes[index]; }
    std::string_view text(const Node& node) const { return piece(node.text, node.textLength); }
    std::pair<std::string_view, std::string_view> attribute(const Node& node, std::uint32_t i) const;

    // Pushes the script side's handle on the tree: an object whose methods make script nodes,
    // `root()`, `children(element)` (an array) and `attributes(element)` ([values by name, names
    // in order]). Elements get the prototype the handle's `elementPrototype` holds, texts
    // `textPrototype`. The tree must outlive the heap.
    void pushHandle(duk_hthread* ctx) const;

private:
    struct Attribute {
        std::uint32_t name, nameLength, value, valueLength;
    };
    std::uint32_t store(std::string_view text);
    std::string_view piece(std::uint32_t at, std::uint32_t length) const { return std::string_view(m_pool).substr(at, length); }

    std::string m_pool;
    std::vector<Node> m_nodes;
    std::vector<Attribute> m_attributes;
};

}
