#pragma once

#include "platform/ui/Control.h"

#include <memory>

class GiftActionControlDelegate;

namespace pf {
class Button;
}

// The bar at the bottom of the gift detail screen: the gift's one action as a status button
// ("预约", "领取", "淘号" or the grey "结束") and a share button.
//
// Rules:
// - The status button's tag is the gift's status + 11 for every status; the title and colours
//   follow statuses 0 to 3 only (any other leaves the orange, untitled button).
// - Taps go to the delegate (held weakly); none reach a delegate that is gone.
class GiftActionControl : public pf::Control {
public:
    // Builds the bar with its two buttons.
    static std::shared_ptr<GiftActionControl> create(const pf::Rect& frame);
    explicit GiftActionControl(const pf::Rect& frame = {});

    void assignGiftObatinControlStatus(int status);

    std::shared_ptr<GiftActionControlDelegate> giftActionControlDelegate() const { return m_delegate.lock(); }
    void setGiftActionControlDelegate(std::weak_ptr<GiftActionControlDelegate> delegate) { m_delegate = std::move(delegate); }
    std::shared_ptr<pf::Button> giftObtainButton() const { return m_giftObtainButton; }
    std::shared_ptr<pf::Button> giftShareButton() const { return m_giftShareButton; }

    std::string dumpClassName() const override { return "GiftActionControl"; }

private:
    void addGiftObtainControl();
    void addGiftShareControl();
    void obtainGift();
    void shareGift();

    std::weak_ptr<GiftActionControlDelegate> m_delegate;
    std::shared_ptr<pf::Button> m_giftObtainButton;
    std::shared_ptr<pf::Button> m_giftShareButton;
};
