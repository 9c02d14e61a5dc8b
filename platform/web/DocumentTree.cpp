#include "platform/web/DocumentTree.h"

#include <duktape.h>

#include <cstring>

namespace pf {

namespace {

    const DocumentTree& treeOfThis(duk_context* ctx)
    {
        duk_push_this(ctx);
        duk_get_prop_literal(ctx, -1, DUK_HIDDEN_SYMBOL("tree"));
        auto* tree = static_cast<const DocumentTree*>(duk_get_pointer(ctx, -1));
        duk_pop_2(ctx);
        if (!tree)
            (void)duk_type_error(ctx, "not a document tree");
        return *tree;
    }

    // The node an element made from the tree stands for.
    std::uint32_t nodeOf(duk_context* ctx, const DocumentTree& tree, duk_idx_t element)
    {
        if (!duk_is_object(ctx, element))
            (void)duk_type_error(ctx, "not a node of the document");
        duk_get_prop_literal(ctx, element, DUK_HIDDEN_SYMBOL("node"));
        double index = duk_is_number(ctx, -1) ? duk_get_number(ctx, -1) : -1;
        duk_pop(ctx);
        if (!(index >= 0 && index < static_cast<double>(tree.size())) || !tree.node(static_cast<std::uint32_t>(index)).element)
            (void)duk_type_error(ctx, "not a node of the document");
        return static_cast<std::uint32_t>(index);
    }

    void pushText(duk_context* ctx, std::string_view text) { duk_push_lstring(ctx, text.data(), text.size()); }

    // Pushes the script node for `index`, whose parent is at `parent` (DUK_INVALID_INDEX: none).
    void pushNode(duk_context* ctx, const DocumentTree& tree, std::uint32_t index, duk_idx_t handle, duk_idx_t parent)
    {
        const DocumentTree::Node& n = tree.node(index);
        duk_idx_t object = duk_push_object(ctx);
        if (n.element) {
            duk_get_prop_literal(ctx, handle, "elementPrototype");
            duk_set_prototype(ctx, object);
            std::string_view tag = tree.text(n);
            duk_push_int(ctx, 1);
            duk_put_prop_literal(ctx, object, "nodeType");
            bool ascii = true;
            std::string upper(tag);
            for (char& c : upper) {
                if (static_cast<unsigned char>(c) >= 0x80)
                    ascii = false;
                else if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            }
            if (ascii) {
                pushText(ctx, upper);
            } else {
                // The script's own case mapping, as for an element a script makes.
                pushText(ctx, tag);
                duk_push_literal(ctx, "toUpperCase");
                duk_call_prop(ctx, -2, 0);
                duk_remove(ctx, -2);
            }
            duk_dup_top(ctx);
            duk_put_prop_literal(ctx, object, "tagName");
            duk_put_prop_literal(ctx, object, "nodeName");
            pushText(ctx, tag);
            duk_put_prop_literal(ctx, object, "localName");
            duk_push_uint(ctx, index);
            duk_put_prop_literal(ctx, object, DUK_HIDDEN_SYMBOL("node"));
        } else {
            duk_get_prop_literal(ctx, handle, "textPrototype");
            duk_set_prototype(ctx, object);
            duk_push_int(ctx, 3);
            duk_put_prop_literal(ctx, object, "nodeType");
            duk_push_literal(ctx, "#text");
            duk_put_prop_literal(ctx, object, "nodeName");
            pushText(ctx, tree.text(n));
            duk_put_prop_literal(ctx, object, "data");
        }
        if (parent == DUK_INVALID_INDEX)
            duk_push_null(ctx);
        else
            duk_dup(ctx, parent);
        duk_put_prop_literal(ctx, object, "parentNode");
    }

    duk_ret_t root(duk_context* ctx)
    {
        const DocumentTree& tree = treeOfThis(ctx);
        if (tree.size() == 0)
            return duk_type_error(ctx, "the document is empty");
        duk_push_this(ctx);
        pushNode(ctx, tree, 0, duk_get_top_index(ctx), DUK_INVALID_INDEX);
        return 1;
    }

    duk_ret_t children(duk_context* ctx)
    {
        const DocumentTree& tree = treeOfThis(ctx);
        duk_idx_t element = duk_normalize_index(ctx, 0);
        const DocumentTree::Node& n = tree.node(nodeOf(ctx, tree, element));
        duk_push_this(ctx);
        duk_idx_t handle = duk_get_top_index(ctx);
        duk_idx_t array = duk_push_array(ctx);
        for (std::uint32_t i = 0; i < n.childCount; ++i) {
            duk_require_stack(ctx, 4);
            pushNode(ctx, tree, n.firstChild + i, handle, element);
            duk_put_prop_index(ctx, array, i);
        }
        return 1;
    }

    duk_ret_t attributes(duk_context* ctx)
    {
        const DocumentTree& tree = treeOfThis(ctx);
        const DocumentTree::Node& n = tree.node(nodeOf(ctx, tree, 0));
        duk_idx_t pair = duk_push_array(ctx);
        duk_idx_t values = duk_push_object(ctx);
        duk_idx_t names = duk_push_array(ctx);
        duk_uarridx_t order = 0;
        for (std::uint32_t i = 0; i < n.attributeCount; ++i) {
            auto [name, value] = tree.attribute(n, i);
            pushText(ctx, name);
            // The first of two attributes of one name counts, as the parser keeps it.
            if (duk_has_prop(ctx, values)) // consumes the name
                continue;
            pushText(ctx, value);
            duk_put_prop_lstring(ctx, values, name.data(), name.size());
            pushText(ctx, name);
            duk_put_prop_index(ctx, names, order++);
        }
        duk_put_prop_index(ctx, pair, 1);
        duk_put_prop_index(ctx, pair, 0);
        return 1;
    }

}

std::uint32_t DocumentTree::store(std::string_view text)
{
    auto at = static_cast<std::uint32_t>(m_pool.size());
    m_pool.append(text);
    return at;
}

std::uint32_t DocumentTree::addText(std::string_view text)
{
    Node n;
    n.text = store(text);
    n.textLength = static_cast<std::uint32_t>(text.size());
    m_nodes.push_back(n);
    return static_cast<std::uint32_t>(m_nodes.size() - 1);
}

std::uint32_t DocumentTree::addElement(std::string_view tag, const std::vector<std::pair<std::string_view, std::string_view>>& attributes)
{
    Node n;
    n.element = true;
    n.text = store(tag);
    n.textLength = static_cast<std::uint32_t>(tag.size());
    n.firstAttribute = static_cast<std::uint32_t>(m_attributes.size());
    n.attributeCount = static_cast<std::uint32_t>(attributes.size());
    for (const auto& [name, value] : attributes) {
        Attribute a;
        a.name = store(name);
        a.nameLength = static_cast<std::uint32_t>(name.size());
        a.value = store(value);
        a.valueLength = static_cast<std::uint32_t>(value.size());
        m_attributes.push_back(a);
    }
    m_nodes.push_back(n);
    return static_cast<std::uint32_t>(m_nodes.size() - 1);
}

void DocumentTree::setChildren(std::uint32_t node, std::uint32_t first, std::uint32_t count)
{
    m_nodes[node].firstChild = first;
    m_nodes[node].childCount = count;
}

std::pair<std::string_view, std::string_view> DocumentTree::attribute(const Node& node, std::uint32_t i) const
{
    const Attribute& a = m_attributes[node.firstAttribute + i];
    return { piece(a.name, a.nameLength), piece(a.value, a.valueLength) };
}

void DocumentTree::pushHandle(duk_hthread* ctx) const
{
    duk_idx_t handle = duk_push_object(ctx);
    duk_push_pointer(ctx, const_cast<DocumentTree*>(this));
    duk_put_prop_literal(ctx, handle, DUK_HIDDEN_SYMBOL("tree"));
    duk_push_c_function(ctx, root, 0);
    duk_put_prop_literal(ctx, handle, "root");
    duk_push_c_function(ctx, children, 1);
    duk_put_prop_literal(ctx, handle, "children");
    duk_push_c_function(ctx, attributes, 1);
    duk_put_prop_literal(ctx, handle, "attributes");
}

}
