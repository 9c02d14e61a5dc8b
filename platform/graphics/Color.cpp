#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pf {

std::string Color::hexString() const
{
    auto c = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    char buf[16];
    if (alpha >= 1)
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", c(red), c(green), c(blue));
    else
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", c(red), c(green), c(blue), c(alpha));
    return buf;
}

}
