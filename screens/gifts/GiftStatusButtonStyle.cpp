#include "screens/gifts/GiftStatusButtonStyle.h"

#include "core/views/ColorFactory.h"
#include "platform/ui/Button.h"

const GiftStatusButtonStyle::Look* GiftStatusButtonStyle::look(int status)
{
    static const Look kLooks[] = {
        { "预约", "52acf9", false },
        { "领取", "7ec63d", false },
        { "淘号", "ffb701", false },
        { "结束", "c0c0c0", true },
    };
    if (status < 0 || status > 3)
        return nullptr;
    return &kLooks[status];
}

void GiftStatusButtonStyle::apply(pf::Button& button, int status)
{
    button.setTag(status + kTagOffset);
    const Look* found = look(status);
    if (!found)
        return;
    button.setTitle(found->title, pf::ControlState::Normal);
    button.setBackgroundColor(ColorFactory::colorWithHexRGB(found->background));
    button.setTitleColor(found->blackTitle ? pf::Color::black() : pf::Color::white(), pf::ControlState::Normal);
}
