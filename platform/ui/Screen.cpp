#include "platform/ui/Screen.h"

namespace pf {

namespace {
    // The device description will provide these; until then the default phone.
    Size deviceScreenSize() { return { 320, 480 }; }
    double deviceScreenScale() { return 2; }
}

Screen& Screen::main()
{
    static Screen screen;
    return screen;
}

Screen::Screen()
{
    reset();
}

Rect Screen::applicationFrame() const
{
    double bar = statusBarHeight();
    return { 0, bar, m_size.width, m_size.height - bar };
}

void Screen::reset()
{
    m_size = deviceScreenSize();
    m_scale = deviceScreenScale();
    m_statusBarHidden = false;
}

}
