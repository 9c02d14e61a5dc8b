#include "screens/gifts/GiftObtainFinishedPromptControl.h"

#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"

GiftObtainFinishedPromptControl::GiftObtainFinishedPromptControl(const pf::Rect& frame)
    : GiftPromptPanelControl(frame)
{
}

std::shared_ptr<GiftObtainFinishedPromptControl> GiftObtainFinishedPromptControl::create(const pf::Rect& frame)
{
    auto control = std::make_shared<GiftObtainFinishedPromptControl>(frame);
    control->setDisplayName(kResultName);
    control->addControls();
    return control;
}

void GiftObtainFinishedPromptControl::addControls()
{
    addPanel("礼包详情", 236, 40);

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

    addButtons("复制卡密", kCopyButtonTag, 260);
}

void GiftObtainFinishedPromptControl::assignText(const std::string& code, const std::string& giftName, int controlType)
{
    const std::string name = "<font size=15>" + pf::RichTextLabel::escape(giftName) + "</font>";
    if (controlType == 1)
        title()->setText("<font size=15>恭喜您成功淘到了</font>" + name);
    else if (controlType == 0)
        title()->setText("<font size=15>恭喜您成功领到了</font>" + name);
    m_codeView->setText("<font size=15>卡密：</font><font size=15 color='#FF7200'>" + pf::RichTextLabel::escape(code) + "</font>");
    resetViewFrame(controlType);
}

void GiftObtainFinishedPromptControl::resetViewFrame(int controlType)
{
    if (controlType != 0 && controlType != 1)
        return;
    const bool pickedUp = controlType == 1;
    const double buttonsY = pickedUp ? 260 : 240;
    m_warnningText->setHidden(!pickedUp);
    obtainButton()->setFrame({ 60, buttonsY, 80, 30 });
    cancleButton()->setFrame({ 180, buttonsY, 80, 30 });
    backView()->setFrame({ 53, 100, 213, pickedUp ? 200.0 : 186.0 });
}

void GiftObtainFinishedPromptControl::didTouchCancleButton()
{
    resetOwnersGiftObtainStatus();
    setHidden(true);
}
