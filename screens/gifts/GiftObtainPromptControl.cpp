#include "screens/gifts/GiftObtainPromptControl.h"

#include "core/views/ColorFactory.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"

GiftObtainPromptControl::GiftObtainPromptControl(const pf::Rect& frame)
    : pf::Control(frame)
{
}

std::shared_ptr<GiftObtainPromptControl> GiftObtainPromptControl::create(const pf::Rect& frame)
{
    auto control = std::make_shared<GiftObtainPromptControl>(frame);
    control->addControls();
    return control;
}

void GiftObtainPromptControl::addControls()
{
    auto hex = [](const char* text) { return ColorFactory::colorWithHexRGB(text); };
    m_backView = std::make_shared<pf::View>(pf::Rect { 53, 100, 213, 180 });
    m_backView->setBackgroundColor(pf::Color::white());
    addSubview(m_backView);

    m_prompt = std::make_shared<pf::RichTextLabel>(pf::Rect { 53, 106, 213, 20 });
    m_prompt->setTextAlignment(pf::TextAlignment::Center);
    m_prompt->setText("<font size=15 color='#FFB701'>温馨提示</font>");
    addSubview(m_prompt);

    m_promptLine = std::make_shared<pf::View>(pf::Rect { 53, 130, 213, 1 });
    m_promptLine->setBackgroundColor(hex("ffb701"));
    addSubview(m_promptLine);

    m_title = std::make_shared<pf::RichTextLabel>(pf::Rect { 64, 144, 192, 80 });
    m_title->setTextAlignment(pf::TextAlignment::Center);
    addSubview(m_title);

    m_obtainButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 60, 230, 80, 30 });
    m_obtainButton->setTitle("立刻领取", pf::ControlState::Normal);
    m_obtainButton->setBackgroundColor(hex("ffb701"));
    m_obtainButton->setTitleFont(pf::Font::system(13));
    m_obtainButton->setTag(kObtainButtonTag);
    m_obtainButton->addTarget(nullptr, "didTouchButton:", pf::ControlEvent::TouchUpInside);
    addSubview(m_obtainButton);

    m_cancleButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 180, 230, 80, 30 });
    m_cancleButton->setTitle("取消", pf::ControlState::Normal);
    m_cancleButton->setBackgroundColor(hex("cbcbcb"));
    m_cancleButton->setTitleFont(pf::Font::system(13));
    m_cancleButton->addAction("didTouchCancleButton:", [this](const std::shared_ptr<pf::Control>&) { didTouchCancleButton(); },
        pf::ControlEvent::TouchUpInside);
    addSubview(m_cancleButton);

    setBackgroundColor(pf::Color::gray());
    setAlpha(0.8);
}

void GiftObtainPromptControl::assignText(int cost, int extcreditType, const std::string& giftName)
{
    const std::string name = "<font size=15>《" + pf::RichTextLabel::escape(giftName) + "》</font>";
    const std::string amount = "<font size=15 color='#FFB701'>" + std::to_string(cost) + "</font>";
    switch (extcreditType) {
    case 0:
        m_title->setText("<font size=15>你可以免费</font><font size=15>获得</font>" + name + "<font size=15>礼包吗？</font>");
        break;
    case 1:
        m_title->setText("<font size=15>你确定要花费</font>" + amount + "<font size=15>个金币兑换一个</font>" + name
            + "<font size=15>礼包吗？</font>");
        break;
    case 2:
        m_title->setText("<font size=15>你确定要花费</font>" + amount + "<font size=15>个萌点兑换一个</font>" + name
            + "<font size=15>礼包吗？</font>");
        break;
    default:
        break;
    }
}

void GiftObtainPromptControl::didTouchCancleButton()
{
    setHidden(true);
    if (auto owner = superViewController(); owner && owner->respondsToAction("resetGiftObtainStatus"))
        owner->performAction("resetGiftObtainStatus", nullptr);
}
