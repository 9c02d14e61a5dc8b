#pragma once

#include "platform/web/DocumentTree.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

// Turns HTML text into the tree a page is built from, with the parser of the HTML standard
// (gumbo), within limits that keep hostile documents cheap.
//
// Rules:
// - Documents above `maxBytes` (`kMaxBytes` unless the caller says otherwise), with more than
//   `kMaxElements` start tags or nested deeper than `kMaxDepth` are refused with a reason
//   before the parser sees them (the parser's cost grows with the square of the nesting). The
//   nesting scan knows that closing a misnested formatting element (`<b><div></b>`) leaves the
//   blocks inside it open.
// - The parse itself is bounded: one that runs longer than `seconds` or holds more than
//   `kMaxParserMemory` is abandoned with a reason, whatever the markup, and all it held is
//   freed.
// - A document's tree is kept natively (`DocumentTree`), a fragment's is written as JSON: an
//   element is ["tag", {attributes}, [children]], a text is a string. Comments are left out;
//   elements still deeper than `kMaxDepth` lose their children.
// - The scripts of the document (inline text or the address as written), in document order,
//   are listed beside the tree; scripts of another type than JavaScript are not listed.
class HtmlParser {
public:
    static constexpr size_t kMaxBytes = 2u << 20;
    static constexpr size_t kMaxElements = 100000;
    static constexpr int kMaxDepth = 256;
    static constexpr size_t kMaxParserMemory = 160u << 20;
    static constexpr double kDefaultSeconds = 2.0;

    struct Script {
        bool linked { false };
        std::string text; // inline source, or the src attribute as written
    };

    struct Result {
        bool ok { false };
        std::string error;
        std::shared_ptr<const DocumentTree> tree; // a document's: its root is the <html> element
        std::string treeJson; // a fragment's: its nodes
        std::vector<Script> scripts;
    };

    static Result parseDocument(std::string_view html, double seconds = kDefaultSeconds, size_t maxBytes = kMaxBytes);
    // A fragment as the children of a <body> (for innerHTML): JSON array of nodes.
    static Result parseFragment(std::string_view html, double seconds = kDefaultSeconds);

    // How deeply the start and end tags of `html` nest (a cheap scan, before parsing), and
    // how many start tags there are.
    struct Shape {
        int depth { 0 };
        size_t elements { 0 };
    };
    static Shape scanShape(std::string_view html);
};

}
