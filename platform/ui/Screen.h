#pragma once

#include "platform/graphics/Geometry.h"

namespace pf {

enum class InterfaceOrientation { Portrait = 1, PortraitUpsideDown = 2, LandscapeRight = 3, LandscapeLeft = 4 };

// The device's screen: its bounds in points (320 x 480 on the default phone), its scale and the
// status bar's height. Size and scale are the device's (Device), read every time, so a test that
// changes the device changes the screen. The status bar's orientation is the interface's: a
// change posts `kDeviceOrientationDidChangeNotification` (on the calling thread, the main one).
class Screen {
public:
    static constexpr const char* kDeviceOrientationDidChangeNotification = "DeviceOrientationDidChangeNotification";
    static constexpr double kStatusBarOrientationAnimationDuration = 0.3;

    static Screen& main();

    Rect bounds() const;
    void setSize(Size size);
    double scale() const;
    void setScale(double scale);
    double statusBarHeight() const { return m_statusBarHidden ? 0 : 20; }
    bool isStatusBarHidden() const { return m_statusBarHidden; }
    void setStatusBarHidden(bool hidden) { m_statusBarHidden = hidden; }
    InterfaceOrientation statusBarOrientation() const { return m_orientation; }
    void setStatusBarOrientation(InterfaceOrientation orientation);
    bool isLandscape() const
    {
        return m_orientation == InterfaceOrientation::LandscapeLeft || m_orientation == InterfaceOrientation::LandscapeRight;
    }
    double statusBarOrientationAnimationDuration() const { return kStatusBarOrientationAnimationDuration; }
    // The bounds without the status bar.
    Rect applicationFrame() const;

    // Shows the status bar again, in portrait (test set-up).
    void reset();

private:
    Screen() = default;
    bool m_statusBarHidden { false };
    InterfaceOrientation m_orientation { InterfaceOrientation::Portrait };
};

}
