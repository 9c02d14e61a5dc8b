#pragma once

#include "platform/ui/GestureRecognizer.h"

namespace pf {

// Recognises a finger that goes down and up without moving more than `AllowableMovement`
// points. Discrete: the actions run once, in state Ended.
class TapGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    static constexpr double AllowableMovement = 10;

    int numberOfTapsRequired() const { return 1; }
    bool isContinuous() const override { return false; }

    void touchBegan(const Touch& touch) override;
    void touchMoved(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;

private:
    Point m_start;
};

}
