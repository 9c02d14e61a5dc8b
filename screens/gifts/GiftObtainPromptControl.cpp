#include "screens/gifts/GiftObtainPromptControl.h"

#include "platform/kit/RichTextLabel.h"

GiftObtainPromptControl::GiftObtainPromptControl(const pf::Rect& frame)
    : GiftPromptPanelControl(frame)
{
}

std::shared_ptr<GiftObtainPromptControl> GiftObtainPromptControl::create(const pf::Rect& frame)
{
    auto control = std::make_shared<GiftObtainPromptControl>(frame);
    control->setDisplayName(kPromptName);
    control->addControls();
    return control;
}

void GiftObtainPromptControl::addControls()
{
    addPanel("温馨提示", 180, 80);
    addButtons("立刻领取", kObtainButtonTag, 230);
}

void GiftObtainPromptControl::assignText(int cost, int extcreditType, const std::string& giftName)
{
    const std::string name = "<font size=15>《" + pf::RichTextLabel::escape(giftName) + "》</font>";
    const std::string amount = "<font size=15 color='#FFB701'>" + std::to_string(cost) + "</font>";
    switch (extcreditType) {
    case 0:
        title()->setText("<font size=15>你可以免费</font><font size=15>获得</font>" + name + "<font size=15>礼包吗？</font>");
        break;
    case 1:
        title()->setText("<font size=15>你确定要花费</font>" + amount + "<font size=15>个金币兑换一个</font>" + name
            + "<font size=15>礼包吗？</font>");
        break;
    case 2:
        title()->setText("<font size=15>你确定要花费</font>" + amount + "<font size=15>个萌点兑换一个</font>" + name
            + "<font size=15>礼包吗？</font>");
        break;
    default:
        break;
    }
}

void GiftObtainPromptControl::assignBothCosts(int gold, int points, const std::string& giftName)
{
    auto amount = [](int cost) { return "<font size=15 color='#FFB701'>" + std::to_string(cost) + "</font>"; };
    title()->setText("<font size=15>你确定要花费</font>" + amount(gold) + "<font size=15>个金币和</font>" + amount(points)
        + "<font size=15>个萌点兑换一个</font><font size=15>《" + pf::RichTextLabel::escape(giftName) + "》</font>"
        + "<font size=15>礼包吗？</font>");
}

void GiftObtainPromptControl::didTouchCancleButton()
{
    setHidden(true);
    resetOwnersGiftObtainStatus();
}
