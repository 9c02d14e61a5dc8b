#pragma once

namespace pf {
class Button;
}

// How a gift's status shows on its action button, in the lists and on the detail screen alike:
// 0 "预约" blue, 1 "领取" green, 2 "淘号" orange, 3 "结束" grey with a black title.
//
// Rules:
// - The tag is the status + 11 for every status, so a tap tells which action was meant.
// - A status outside 0 to 3 sets only the tag and leaves the button's title and colours.
class GiftStatusButtonStyle {
public:
    static constexpr int kTagOffset = 11;

    // The look of one status; none outside 0 to 3.
    struct Look {
        const char* title;
        const char* background; // six hex digits
        bool blackTitle;
    };
    static const Look* look(int status);

    static void apply(pf::Button& button, int status);
};
