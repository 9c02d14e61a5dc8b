#include "screens/gifts/GiftPromptPanelControl.h"

#include "core/views/ColorFactory.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"

GiftPromptPanelControl::GiftPromptPanelControl(const pf::Rect& frame)
    : pf::Control(frame)
{
}

void GiftPromptPanelControl::addPanel(const std::string& heading, double boxHeight, double titleHeight)
{
    m_backView = std::make_shared<pf::View>(pf::Rect { 53, 100, 213, boxHeight });
    m_backView->setBackgroundColor(pf::Color::white());
    addSubview(m_backView);

    m_prompt = std::make_shared<pf::RichTextLabel>(pf::Rect { 53, 106, 213, 20 });
    m_prompt->setTextAlignment(pf::TextAlignment::Center);
    m_prompt->setText("<font size=15 color='#FFB701'>" + heading + "</font>");
    addSubview(m_prompt);

    m_promptLine = std::make_shared<pf::View>(pf::Rect { 53, 130, 213, 1 });
    m_promptLine->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
    addSubview(m_promptLine);

    m_title = std::make_shared<pf::RichTextLabel>(pf::Rect { 64, 144, 192, titleHeight });
    m_title->setTextAlignment(pf::TextAlignment::Center);
    addSubview(m_title);
}

void GiftPromptPanelControl::addButtons(const std::string& actionTitle, int actionTag, double y)
{
    m_obtainButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 60, y, 80, 30 });
    m_obtainButton->setTitle(actionTitle, pf::ControlState::Normal);
    m_obtainButton->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
    m_obtainButton->setTitleFont(pf::Font::system(13));
    m_obtainButton->setTag(actionTag);
    m_obtainButton->addTarget(nullptr, "didTouchButton:", pf::ControlEvent::TouchUpInside);
    addSubview(m_obtainButton);

    m_cancleButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 180, y, 80, 30 });
    m_cancleButton->setTitle("取消", pf::ControlState::Normal);
    m_cancleButton->setBackgroundColor(ColorFactory::colorWithHexRGB("cbcbcb"));
    m_cancleButton->setTitleFont(pf::Font::system(13));
    m_cancleButton->addAction("didTouchCancleButton:", [this](const std::shared_ptr<pf::Control>&) { didTouchCancleButton(); },
        pf::ControlEvent::TouchUpInside);
    addSubview(m_cancleButton);

    setBackgroundColor(pf::Color::gray());
    setAlpha(0.8);
}

void GiftPromptPanelControl::resetOwnersGiftObtainStatus()
{
    if (auto owner = superViewController(); owner && owner->respondsToAction("resetGiftObtainStatus"))
        owner->performAction("resetGiftObtainStatus", nullptr);
}
