#include "screens/gifts/GiftStatusButtonStyle.h"

#include "core/views/ColorFactory.h"
#include "platform/ui/Button.h"

void GiftStatusButtonStyle::apply(pf::Button& button, int status)
{
    button.setTag(status + kTagOffset);
    struct Look {
        const char* title;
        const char* background;
        bool blackTitle;
    };
    static const Look kLooks[] = {
        { "预约", "52acf9", false },
        { "领取", "7ec63d", false },
        { "淘号", "ffb701", false },
        { "结束", "c0c0c0", true },
    };
    if (status < 0 || status > 3)
        return;
    const Look& look = kLooks[status];
    button.setTitle(look.title, pf::ControlState::Normal);
    button.setBackgroundColor(ColorFactory::colorWithHexRGB(look.background));
    button.setTitleColor(look.blackTitle ? pf::Color::black() : pf::Color::white(), pf::ControlState::Normal);
}
