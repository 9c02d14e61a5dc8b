#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>

namespace pf {

class View;
class Window;

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

// One finger on the screen, as the driver produces it. Locations are in window coordinates;
// `timestamp` is on the platform clock (the driver steps it while dragging).
struct Touch {
    Point windowLocation;
    Point previousWindowLocation;
    TouchPhase phase { TouchPhase::Began };
    double timestamp { 0 };
    std::weak_ptr<View> view;     // the view hit when the finger went down
    std::weak_ptr<Window> window;

    Point locationInView(const View* view) const;
    Point previousLocationInView(const View* view) const;
};

}
