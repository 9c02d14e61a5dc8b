#pragma once

#include "platform/ui/GestureRecognizer.h"

namespace pf {

// Recognises a finger that moves: it begins once the finger has moved `Hysteresis` points from
// where it went down (and the touch system agrees), reports each further move as Changed and
// the lift as Ended. Translation is measured from where the finger went down (window
// coordinates, which have the same scale as every view's); velocity from the last two moves,
// in points per second.
class PanGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    static constexpr double Hysteresis = 10;

    bool isContinuous() const override { return true; }

    Point translationInView(const View* view) const;
    void setTranslation(Point translation, const View* view);
    Point velocityInView(const View* view) const;

    void touchBegan(const Touch& touch) override;
    void touchMoved(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;
    void reset() override;

private:
    Point m_origin;
    Point m_velocity;
};

}
