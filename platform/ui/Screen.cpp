#include "platform/ui/Screen.h"

#include "platform/foundation/Device.h"
#include "platform/foundation/NotificationCenter.h"

namespace pf {

Screen& Screen::main()
{
    static Screen screen;
    return screen;
}

Rect Screen::bounds() const
{
    const Device& device = Device::current();
    return { 0, 0, device.screenWidth(), device.screenHeight() };
}

void Screen::setSize(Size size)
{
    Device::current().setScreenSize(size.width, size.height);
}

double Screen::scale() const
{
    return Device::current().screenScale();
}

void Screen::setScale(double scale)
{
    Device::current().setScreenScale(scale > 0 ? scale : 1);
}

Rect Screen::applicationFrame() const
{
    Rect b = bounds();
    double bar = statusBarHeight();
    return { 0, bar, b.width(), b.height() - bar };
}

void Screen::setStatusBarOrientation(InterfaceOrientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    NotificationCenter::defaultCenter().post(kDeviceOrientationDidChangeNotification);
}

void Screen::reset()
{
    m_statusBarHidden = false;
    m_orientation = InterfaceOrientation::Portrait;
}

}
