#include "screens/gifts/GiftActionControl.h"

#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "platform/ui/Button.h"
#include "screens/gifts/GiftActionControlDelegate.h"

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
    m_giftObtainButton->setTag(status + 11);
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
    m_giftObtainButton->setBackgroundColor(ColorFactory::colorWithHexRGB(look.background));
    m_giftObtainButton->setTitleColor(look.blackTitle ? pf::Color::black() : pf::Color::white(), pf::ControlState::Normal);
    m_giftObtainButton->setTitle(look.title, pf::ControlState::Normal);
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
