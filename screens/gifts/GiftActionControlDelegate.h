#pragma once

#include <memory>

namespace pf {
class Button;
}
class GiftActionControl;

// Receives the two taps of a gift's action bar: the status button (its tag is the gift's status
// + 11) and the share button.
class GiftActionControlDelegate {
public:
    virtual ~GiftActionControlDelegate() = default;
    virtual void didTouchGiftActionControlGiftObtainControl(const std::shared_ptr<pf::Button>& button) = 0;
    virtual void didTouchGiftActionControlGiftShareControl(const std::shared_ptr<GiftActionControl>& control) = 0;
};
