#include "screens/gifts/GiftObtainFinishedPromptControl.h"

#include "core/views/ColorFactory.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

GiftObtainFinishedPromptControl::GiftObtainFinishedPromptControl(const pf::Rect& frame)
    : pf::Control(frame)
{
}

std::shared_ptr<GiftObtainFinishedPromptControl> GiftObtainFinishedPromptControl::create(const pf::Rect& frame)
{
    auto control = std::make_shared<GiftObtainFinishedPromptControl>(frame);
    control->addControls();
    return control;
}

void GiftObtainFinishedPromptControl::addControls()
{
    auto hex = [](const char* text) { return ColorFactory::colorWithHexRGB(text); };
    m_backView = std::make_shared<pf::View>(pf::Rect { 53, 100, 213, 236 });
    m_backView->setBackgroundColor(pf::Color::white());
    addSubview(m_backView);

    m_prompt = std::make_shared<pf::RichTextLabel>(pf::Rect { 53, 106, 213, 20 });
    m_prompt->setTextAlignment(pf::TextAlignment::Center);
    m_prompt->setText("<font size=15 color='#FFB701'>礼包详情</font>");
    addSubview(m_prompt);

    m_promptLine = std::make_shared<pf::View>(pf::Rect { 53, 130, 213, 1 });
    m_promptLine->setBackgroundColor(hex("ffb701"));
    addSubview(m_promptLine);

    m_title = std::make_shared<pf::RichTextLabel>(pf::Rect { 64, 144, 192, 40 });
    m_title->setTextAlignment(pf::TextAlignment::Center);
    addSubview(m_title);

    m_codeView = std::make_shared<pf::RichTextLabel>(pf::Rect { 64, 188, 192, 80 });
    m_codeView->setTextAlignment(pf::TextAlignment::Center);
    addSubview(m_codeView);

    m_warnningText = std::make_shared<pf::Label>(pf::Rect { 64, 220, 192, 40 });
    m_warnningText->setFont(pf::Font::system(15));
    m_warnningText->setBackgroundColor(pf::Color::clear());
    m_warnningText->setTextAlignment(pf::TextAlignment::Center);
    m_warnningText->setText("该礼包可能已经被激活");
    m_warnningText->setTextColor(pf::Color::red_());
    addSubview(m_warnningText);

    m_obtainButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 60, 260, 80, 30 });
    m_obtainButton->setTitle("复制卡密", pf::ControlState::Normal);
    m_obtainButton->setBackgroundColor(hex("ffb701"));
    m_obtainButton->setTitleFont(pf::Font::system(13));
    m_obtainButton->setTag(kCopyButtonTag);
    m_obtainButton->addTarget(nullptr, "didTouchButton:", pf::ControlEvent::TouchUpInside);
    addSubview(m_obtainButton);

    m_cancleButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 180, 260, 80, 30 });
    m_cancleButton->setTitle("取消", pf::ControlState::Normal);
    m_cancleButton->setBackgroundColor(hex("cbcbcb"));
    m_cancleButton->setTitleFont(pf::Font::system(13));
    m_cancleButton->addAction("didTouchCancleButton:", [this](const std::shared_ptr<pf::Control>&) { didTouchCancleButton(); },
        pf::ControlEvent::TouchUpInside);
    addSubview(m_cancleButton);

    setBackgroundColor(pf::Color::gray());
    setAlpha(0.8);
}

void GiftObtainFinishedPromptControl::assignText(const std::string& code, const std::string& giftName, int controlType)
{
    const std::string name = "<font size=15>" + pf::RichTextLabel::escape(giftName) + "</font>";
    if (controlType == 1)
        m_title->setText("<font size=15>恭喜您成功淘到了</font>" + name);
    else if (controlType == 0)
        m_title->setText("<font size=15>恭喜您成功领到了</font>" + name);
    m_codeView->setText("<font size=15>卡密：</font><font size=15 color='#FF7200'>" + pf::RichTextLabel::escape(code) + "</font>");
    resetViewFrame(controlType);
}

void GiftObtainFinishedPromptControl::resetViewFrame(int controlType)
{
    if (controlType == 1) {
        m_warnningText->setHidden(false);
        m_obtainButton->setFrame({ 60, 260, 80, 30 });
        m_cancleButton->setFrame({ 180, 260, 80, 30 });
        m_backView->setFrame({ 53, 100, 213, 200 });
    } else if (controlType == 0) {
        m_warnningText->setHidden(true);
        m_obtainButton->setFrame({ 60, 240, 80, 30 });
        m_cancleButton->setFrame({ 180, 240, 80, 30 });
        m_backView->setFrame({ 53, 100, 213, 186 });
    }
}

void GiftObtainFinishedPromptControl::didTouchCancleButton()
{
    if (auto owner = superViewController(); owner && owner->respondsToAction("resetGiftObtainStatus"))
        owner->performAction("resetGiftObtainStatus", nullptr);
    setHidden(true);
}
