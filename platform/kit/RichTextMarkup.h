#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"

#include <string>
#include <string_view>
#include <vector>

namespace pf {

// One stretch of text in one style.
struct RichTextRun {
    std::string text;
    Font font;
    Color color;

    bool operator==(const RichTextRun&) const = default;
};

// The small markup of rich-text labels: `<font size=15 color='#FF7200'>` ... `</font>` and
// `<b>` ... `</b>`, nested freely, with the entities &lt; &gt; &amp; &quot; &apos; &nbsp; and
// numeric ones (&#38; &#x26;).
//
// Rules:
// - A "<" starts a tag only when a known tag name (font, b; any case) follows and a closing ">"
//   ends it; anything else — "a < b", "<i>", a "<" with no ">" — is text, kept as written.
//   Likewise an "&" that starts no known entity is text.
// - Attribute values may be quoted with ' or " or bare. An unreadable size or colour is
//   ignored (the enclosing style holds); sizes are limited to 1..512 points.
// - Tags left open run to the end. A closing tag ends the latest open tag of its name, even
//   when others opened later are still open (they stay in force); a closing tag with nothing
//   to close is dropped.
// - Line breaks in the text are kept. Adjacent runs of one style are merged; no run is empty.
class RichTextMarkup {
public:
    static std::vector<RichTextRun> parse(std::string_view markup, const Font& baseFont, const Color& baseColor);
    // The runs' texts joined.
    static std::string plainText(const std::vector<RichTextRun>& runs);
    // Text made safe to put between tags: "&", "<", ">" and '"' become entities, so that
    // names and server texts show as written.
    static std::string escape(std::string_view text);
};

}
