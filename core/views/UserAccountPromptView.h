#pragma once

#include "platform/ui/View.h"

#include <string>
#include <vector>

// A panel of centred rich-text lines (welcome, login and registration results). The owner sets
// its background and shows and hides it.
//
// Line i sits at (20, 40 + 40 i, 200, 30). The texts are markup: a value from outside (a user
// name, a server message) must be escaped with pf::RichTextLabel::escape before it is put
// between tags, so that it shows as written.
class UserAccountPromptView : public pf::View {
public:
    UserAccountPromptView() = default;
    explicit UserAccountPromptView(const pf::Rect& frame) : pf::View(frame) { }

    // Replaces every line with one label per text (none for an empty list).
    void assignText(const std::vector<std::string>& markupTexts);

    std::string dumpClassName() const override { return "UserAccountPromptView"; }
};
