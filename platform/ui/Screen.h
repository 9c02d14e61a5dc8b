#pragma once

#include "platform/graphics/Geometry.h"

namespace pf {

// The device's screen: its bounds in points (320 x 480 on the default phone), its scale and the
// status bar's height. Size and scale are the device's (Device), read every time, so a test that
// changes the device changes the screen.
class Screen {
public:
    static Screen& main();

    Rect bounds() const;
    void setSize(Size size);
    double scale() const;
    void setScale(double scale);
    double statusBarHeight() const { return m_statusBarHidden ? 0 : 20; }
    bool isStatusBarHidden() const { return m_statusBarHidden; }
    void setStatusBarHidden(bool hidden) { m_statusBarHidden = hidden; }
    // The bounds without the status bar.
    Rect applicationFrame() const;

    // Shows the status bar again (test set-up).
    void reset();

private:
    Screen() = default;
    bool m_statusBarHidden { false };
};

}
