#include "platform/graphics/Image.h"

#include <algorithm>
#include <cmath>

namespace pf {

Image::Image(int pixelWidth, int pixelHeight, double scale)
    : m_width(pixelWidth > 0 ? pixelWidth : 0)
    , m_height(pixelHeight > 0 ? pixelHeight : 0)
    , m_scale(scale > 0 ? scale : 1.0)
    , m_pixels(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0)
{
}

Color Image::colorAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return Color::clear();
    std::uint32_t p = pixelAt(x, y);
    double a = ((p >> 24) & 0xFF) / 255.0;
    if (a <= 0)
        return Color::clear();
    auto channel = [&](int shift) { return std::min(1.0, ((p >> shift) & 0xFF) / 255.0 / a); };
    return { channel(16), channel(8), channel(0), a };
}

std::uint32_t Image::pixelFromColor(const Color& c)
{
    double a = std::clamp(c.alpha, 0.0, 1.0);
    auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    return (byte(a) << 24) | (byte(c.red * a) << 16) | (byte(c.green * a) << 8) | byte(c.blue * a);
}

double Image::animationDuration() const
{
    double total = 0;
    for (const auto& f : m_frames)
        total += f.delay;
    return total;
}

}
