#include "screens/gifts/GiftActionControl.h"

#include "core/views/CustomControlApperanceCreator.h"
#include "platform/ui/Button.h"
#include "screens/gifts/GiftActionControlDelegate.h"
#include "screens/gifts/GiftStatusButtonStyle.h"

GiftActionControl::GiftActionControl(const pf::Rect& frame)
    : pf::Control(frame)
{
}

std::shared_ptr<GiftActionControl> GiftActionControl::create(const pf::Rect& frame)
{
    auto control = std::make_shared<GiftActionControl>(frame);
    control->addGiftObtainControl();
    control->addGiftShareControl();
    return control;
}

void GiftActionControl::addGiftObtainControl()
{
    m_giftObtainButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 60, 8, 200, 24 });
    m_giftObtainButton->setTitleColor(pf::Color::white(), pf::ControlState::Normal);
    m_giftObtainButton->setBackgroundColor(pf::Color::orange());
    m_giftObtainButton->addAction("obtainGift:", [this](const std::shared_ptr<pf::Control>&) { obtainGift(); },
        pf::ControlEvent::TouchUpInside);
    addSubview(m_giftObtainButton);
}

void GiftActionControl::addGiftShareControl()
{
    m_giftShareButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 293, 11, 17, 18 });
    m_giftShareButton->setBackgroundImage(CustomControlApperanceCreator::bundleImage("share.png"), pf::ControlState::Normal);
    m_giftShareButton->addAction("shareGift:", [this](const std::shared_ptr<pf::Control>&) { shareGift(); },
        pf::ControlEvent::TouchUpInside);
    addSubview(m_giftShareButton);
}

void GiftActionControl::assignGiftObatinControlStatus(int status)
{
    GiftStatusButtonStyle::apply(*m_giftObtainButton, status);
}

void GiftActionControl::obtainGift()
{
    if (auto delegate = giftActionControlDelegate())
        delegate->didTouchGiftActionControlGiftObtainControl(m_giftObtainButton);
}

void GiftActionControl::shareGift()
{
    auto self = std::static_pointer_cast<GiftActionControl>(sharedView());
    if (auto delegate = giftActionControlDelegate())
        delegate->didTouchGiftActionControlGiftShareControl(self);
}
