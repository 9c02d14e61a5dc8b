#pragma once

#include "platform/graphics/Geometry.h"

namespace pf {

// The device's screen: its bounds in points (320 x 480 on the default phone), its scale and the
// status bar's height. Values come from the device description; tests may change them.
class Screen {
public:
    static Screen& main();

    Rect bounds() const { return { 0, 0, m_size.width, m_size.height }; }
    void setSize(Size size) { m_size = size; }
    double scale() const { return m_scale; }
    void setScale(double scale) { m_scale = scale > 0 ? scale : 1; }
    double statusBarHeight() const { return m_statusBarHidden ? 0 : 20; }
    bool isStatusBarHidden() const { return m_statusBarHidden; }
    void setStatusBarHidden(bool hidden) { m_statusBarHidden = hidden; }
    // The bounds without the status bar.
    Rect applicationFrame() const;

    // Back to the device's values (test set-up).
    void reset();

private:
    Screen();
    Size m_size;
    double m_scale { 2 };
    bool m_statusBarHidden { false };
};

}
