#include "platform/web/HtmlParser.h"

#include "platform/web/ScriptText.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <chrono>
#include <csetjmp>
#include <cstdlib>
#include <optional>

namespace pf {

namespace {

    bool isVoid(std::string_view tag)
    {
        static const char* kVoid[] = { "area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source", "track", "wbr" };
        return std::any_of(std::begin(kVoid), std::end(kVoid), [&](const char* v) { return tag == v; });
    }

    bool isFormatting(std::string_view tag)
    {
        static const char* kFormatting[] = { "a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt", "u" };
        return std::any_of(std::begin(kFormatting), std::end(kFormatting), [&](const char* f) { return tag == f; });
    }

    // Every block the parser takes is recorded here, so that a parse abandoned half-way (by
    // jumping out of the allocator) leaves nothing behind. The parser is C and holds no other
    // resource, so jumping over its frames is safe.
    struct Arena {
        struct Block {
            Block* prev;
            Block* next;
            size_t size;
            std::max_align_t align[1];
        };
        static constexpr size_t kHeader = offsetof(Block, align);

        std::jmp_buf escape;
        std::chrono::steady_clock::time_point deadline;
        size_t used { 0 };
        unsigned allocations { 0 };
        Block* head { nullptr };
        const char* failure { nullptr };

        ~Arena()
        {
            while (head) {
                Block* next = head->next;
                std::free(head);
                head = next;
            }
        }

        [[noreturn]] void abandon(const char* why)
        {
            failure = why;
            std::longjmp(escape, 1);
        }

        static void* allocate(void* userdata, size_t size)
        {
            auto* arena = static_cast<Arena*>(userdata);
            if (++arena->allocations % 64 == 0 && std::chrono::steady_clock::now() >= arena->deadline)
                arena->abandon("the document took too long to parse");
            if (size > HtmlParser::kMaxParserMemory || arena->used + size > HtmlParser::kMaxParserMemory)
                arena->abandon("the document needs too much memory to parse");
            auto* block = static_cast<Block*>(std::malloc(kHeader + size));
            if (!block)
                arena->abandon("out of memory while parsing");
            block->prev = nullptr;
            block->next = arena->head;
            block->size = size;
            if (arena->head)
                arena->head->prev = block;
            arena->head = block;
            arena->used += size;
            return reinterpret_cast<char*>(block) + kHeader;
        }

        static void release(void* userdata, void* ptr)
        {
            if (!ptr)
                return;
            auto* arena = static_cast<Arena*>(userdata);
            auto* block = reinterpret_cast<Block*>(static_cast<char*>(ptr) - kHeader);
            if (block->prev)
                block->prev->next = block->next;
            else
                arena->head = block->next;
            if (block->next)
                block->next->prev = block->prev;
            arena->used -= block->size;
            std::free(block);
        }
    };

    // Nothing here may need destroying: the allocator may jump back into this frame.
    GumboOutput* parseInArena(const GumboOptions* options, const char* text, size_t length, Arena* arena)
    {
        if (setjmp(arena->escape) != 0)
            return nullptr;
        return gumbo_parse_with_options(options, text, length);
    }

    GumboOptions arenaOptions(Arena& arena, double seconds)
    {
        GumboOptions options = kGumboDefaultOptions;
        options.allocator = &Arena::allocate;
        options.deallocator = &Arena::release;
        options.userdata = &arena;
        options.max_errors = 0; // parse errors are not reported; keeping them costs memory
        arena.deadline = std::chrono::steady_clock::now()
            + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(std::max(0.0, seconds)));
        return options;
    }

    bool isRawText(std::string_view tag)
    {
        return tag == "script" || tag == "style" || tag == "textarea" || tag == "title" || tag == "xmp" || tag == "noembed"
            || tag == "noframes" || tag == "iframe" || tag == "plaintext";
    }

    void appendJsonString(std::string& out, std::string_view text)
    {
        out += '"';
        for (char c : text) {
            switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    static const char* hex = "0123456789abcdef";
                    out += "\\u00";
                    out += hex[(c >> 4) & 0xF];
                    out += hex[c & 0xF];
                } else {
                    out += c;
                }
            }
        }
        out += '"';
    }

    std::string tagName(const GumboElement& element)
    {
        if (element.tag != GUMBO_TAG_UNKNOWN)
            return gumbo_normalized_tagname(element.tag);
        GumboStringPiece piece = element.original_tag;
        gumbo_tag_from_original_text(&piece);
        std::string name(piece.data ? piece.data : "", piece.length);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return name.empty() ? "unknown" : name;
    }

    bool isScriptType(const GumboElement& element)
    {
        GumboAttribute* type = gumbo_get_attribute(&element.attributes, "type");
        if (!type || !*type->value)
            return true;
        std::string t = type->value;
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return t == "text/javascript" || t == "application/javascript" || t == "application/x-javascript" || t == "text/ecmascript";
    }

    struct Writer {
        HtmlParser::Result& result;

        void node(const GumboNode& n, int depth)
        {
            switch (n.type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                appendJsonString(result.treeJson, n.v.text.text);
                return;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE:
                element(n.v.element, depth);
                return;
            default:
                result.treeJson += "null";
                return;
            }
        }

        void element(const GumboElement& e, int depth)
        {
            std::string tag = tagName(e);
            std::string& out = result.treeJson;
            out += '[';
            appendJsonString(out, tag);
            out += ",{";
            for (unsigned i = 0; i < e.attributes.length; ++i) {
                auto* a = static_cast<GumboAttribute*>(e.attributes.data[i]);
                if (i)
                    out += ',';
                appendJsonString(out, a->name);
                out += ':';
                appendJsonString(out, a->value);
            }
            out += "},[";
            if (tag == "script" && isScriptType(e)) {
                HtmlParser::Script script;
                if (GumboAttribute* src = gumbo_get_attribute(&e.attributes, "src")) {
                    script.linked = true;
                    script.text = src->value;
                } else {
                    for (unsigned i = 0; i < e.children.length; ++i) {
                        auto* c = static_cast<GumboNode*>(e.children.data[i]);
                        if (c->type == GUMBO_NODE_TEXT || c->type == GUMBO_NODE_WHITESPACE || c->type == GUMBO_NODE_CDATA)
                            script.text += c->v.text.text;
                    }
                }
                result.scripts.push_back(std::move(script));
            }
            if (depth < HtmlParser::kMaxDepth) {
                bool first = true;
                for (unsigned i = 0; i < e.children.length; ++i) {
                    auto* c = static_cast<GumboNode*>(e.children.data[i]);
                    if (c->type == GUMBO_NODE_COMMENT)
                        continue;
                    if (!first)
                        out += ',';
                    first = false;
                    node(*c, depth + 1);
                }
            }
            out += "]]";
        }
    };

    // The same walk for a document, into its native tree: a node's children are added together
    // (so they are consecutive), then each element child is visited in document order.
    struct TreeWriter {
        HtmlParser::Result& result;
        DocumentTree& tree;
        std::vector<std::pair<std::string_view, std::string_view>> attributes;

        static bool isText(const GumboNode& n)
        {
            return n.type == GUMBO_NODE_TEXT || n.type == GUMBO_NODE_WHITESPACE || n.type == GUMBO_NODE_CDATA;
        }
        static bool isElement(const GumboNode& n) { return n.type == GUMBO_NODE_ELEMENT || n.type == GUMBO_NODE_TEMPLATE; }

        std::uint32_t add(const GumboNode& n)
        {
            if (isText(n))
                return tree.addText(n.v.text.text);
            const GumboElement& e = n.v.element;
            std::string tag = tagName(e);
            attributes.clear();
            for (unsigned i = 0; i < e.attributes.length; ++i) {
                auto* a = static_cast<GumboAttribute*>(e.attributes.data[i]);
                attributes.emplace_back(a->name, a->value);
            }
            return tree.addElement(tag, attributes);
        }

        void visit(const GumboElement& e, std::uint32_t index, int depth)
        {
            if (tree.node(index).textLength == 6 && tree.text(tree.node(index)) == "script" && isScriptType(e)) {
                HtmlParser::Script script;
                if (GumboAttribute* src = gumbo_get_attribute(&e.attributes, "src")) {
                    script.linked = true;
                    script.text = src->value;
                } else {
                    for (unsigned i = 0; i < e.children.length; ++i) {
                        auto* c = static_cast<GumboNode*>(e.children.data[i]);
                        if (isText(*c))
                            script.text += c->v.text.text;
                    }
                }
                result.scripts.push_back(std::move(script));
            }
            if (depth >= HtmlParser::kMaxDepth)
                return;
            auto first = static_cast<std::uint32_t>(tree.size());
            std::uint32_t count = 0;
            for (unsigned i = 0; i < e.children.length; ++i) {
                auto* c = static_cast<GumboNode*>(e.children.data[i]);
                if (isText(*c) || isElement(*c)) {
                    add(*c);
                    ++count;
                }
            }
            tree.setChildren(index, first, count);
            std::uint32_t at = first;
            for (unsigned i = 0; i < e.children.length; ++i) {
                auto* c = static_cast<GumboNode*>(e.children.data[i]);
                if (isElement(*c))
                    visit(c->v.element, at, depth + 1);
                if (isText(*c) || isElement(*c))
                    ++at;
            }
        }
    };

    std::optional<std::string> checkShape(std::string_view html, size_t maxBytes)
    {
        if (html.size() > maxBytes)
            return "the document is larger than " + std::to_string(maxBytes) + " bytes";
        auto shape = HtmlParser::scanShape(html);
        if (shape.elements > HtmlParser::kMaxElements)
            return "the document has more than " + std::to_string(HtmlParser::kMaxElements) + " elements";
        if (shape.depth > HtmlParser::kMaxDepth)
            return "the document nests elements deeper than " + std::to_string(HtmlParser::kMaxDepth);
        return std::nullopt;
    }

}

HtmlParser::Shape HtmlParser::scanShape(std::string_view html)
{
    Shape shape;
    std::vector<std::string> open;
    size_t i = 0;
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    auto readName = [&](size_t& k) {
        std::string name;
        while (k < html.size() && (std::isalnum(static_cast<unsigned char>(html[k])) || html[k] == '-' || html[k] == ':'))
            name += lower(html[k++]);
        return name;
    };
    // The scan stops as soon as the document is known to be refused, so the stack of open
    // elements it searches stays short whatever the document holds.
    while (shape.depth <= kMaxDepth && shape.elements <= kMaxElements) {
        i = html.find('<', i);
        if (i == std::string_view::npos || i + 1 >= html.size())
            break;
        char next = html[i + 1];
        if (next == '!') {
            size_t end = html.substr(i, 4) == "<!--" ? html.find("-->", i + 4) : html.find('>', i);
            i = end == std::string_view::npos ? html.size() : end + 1;
            continue;
        }
        if (next == '/') {
            size_t k = i + 2;
            std::string name = readName(k);
            auto it = std::find(open.rbegin(), open.rend(), name);
            if (!name.empty() && it != open.rend()) {
                auto at = std::next(it).base();
                if (isFormatting(name)) {
                    // The blocks opened inside a formatting element stay open when it closes.
                    open.erase(std::remove_if(at, open.end(), [](const std::string& n) { return isFormatting(n); }), open.end());
                } else {
                    open.erase(at, open.end());
                }
            }
            i = k;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(next))) {
            ++i;
            continue;
        }
        size_t k = i + 1;
        std::string name = readName(k);
        ++shape.elements;
        // The end of the tag, skipping quoted attribute values.
        char quote = 0;
        while (k < html.size() && (quote || html[k] != '>')) {
            if (quote && html[k] == quote)
                quote = 0;
            else if (!quote && (html[k] == '"' || html[k] == '\''))
                quote = html[k];
            ++k;
        }
        bool selfClosing = k > 0 && k < html.size() && html[k - 1] == '/';
        i = k + 1;
        if (isRawText(name)) {
            // Its content is text up to the matching end tag.
            std::string endTag = "</" + name;
            size_t j = i;
            for (;;) {
                j = html.find("</", j);
                if (j == std::string_view::npos)
                    break;
                std::string candidate;
                for (size_t m = j; m < html.size() && m < j + endTag.size(); ++m)
                    candidate += lower(html[m]);
                if (candidate == endTag)
                    break;
                j += 2;
            }
            i = j == std::string_view::npos ? html.size() : j;
            shape.depth = std::max(shape.depth, static_cast<int>(open.size()) + 1);
            continue;
        }
        if (isVoid(name) || selfClosing)
            continue;
        open.push_back(name);
        shape.depth = std::max(shape.depth, static_cast<int>(open.size()));
    }
    return shape;
}

HtmlParser::Result HtmlParser::parseDocument(std::string_view html, double seconds, size_t maxBytes)
{
    Result result;
    if (auto refusal = checkShape(html, maxBytes)) {
        result.error = *refusal;
        return result;
    }
    std::string text = ScriptText::validUtf8(html);
    Arena arena;
    GumboOptions options = arenaOptions(arena, seconds);
    GumboOutput* output = parseInArena(&options, text.data(), text.size(), &arena);
    if (!output || !output->root) {
        result.error = arena.failure ? arena.failure : "the document could not be parsed";
        return result;
    }
    auto tree = std::make_shared<DocumentTree>();
    if (TreeWriter::isElement(*output->root)) {
        TreeWriter writer { result, *tree, {} };
        writer.visit(output->root->v.element, writer.add(*output->root), 0);
    }
    // The arena lets every block of the parse go at once; walking the tree to free it node by
    // node would cost a tenth of the parse.
    result.tree = std::move(tree);
    result.ok = true;
    return result;
}

HtmlParser::Result HtmlParser::parseFragment(std::string_view html, double seconds)
{
    Result result;
    if (auto refusal = checkShape(html, kMaxBytes)) {
        result.error = *refusal;
        return result;
    }
    std::string text = ScriptText::validUtf8(html);
    Arena arena;
    GumboOptions options = arenaOptions(arena, seconds);
    options.fragment_context = GUMBO_TAG_BODY;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    GumboOutput* output = parseInArena(&options, text.data(), text.size(), &arena);
    if (!output || !output->root || output->root->type != GUMBO_NODE_ELEMENT) {
        result.error = arena.failure ? arena.failure : "the fragment could not be parsed";
        return result;
    }
    // The fragment's nodes are the children of the root element gumbo makes for it.
    const GumboElement& root = output->root->v.element;
    Writer writer { result };
    result.treeJson = "[";
    bool first = true;
    for (unsigned i = 0; i < root.children.length; ++i) {
        auto* c = static_cast<GumboNode*>(root.children.data[i]);
        if (c->type == GUMBO_NODE_COMMENT)
            continue;
        if (!first)
            result.treeJson += ',';
        first = false;
        writer.node(*c, 1);
    }
    result.treeJson += "]";
    result.ok = true;
    return result;
}

}
