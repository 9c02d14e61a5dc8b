#pragma once

#include <string>
#include <vector>

namespace pf {

// What the driver needs of a view that shows a document: the lines a person reads and the
// ways a person acts on a page. Views that show one implement it; the driver finds them.
class WebContent {
public:
    virtual ~WebContent() = default;

    // The page's visible content, one line each ("text \"...\"", "link \"...\"", ...), in
    // document order.
    virtual std::vector<std::string> contentLines() const = 0;
    // Follows the visible link whose text is exactly `text`; false when there is none.
    virtual bool activateLink(const std::string& text) = 0;
    // Types `value` into the visible field named `field` (its name, id or placeholder).
    virtual bool fillField(const std::string& field, const std::string& value) = 0;
    // Presses the visible button whose text, value, name or id is `control`.
    virtual bool pressButton(const std::string& control) = 0;
};

}
