#include "core/views/ColorFactory.h"

#include "platform/foundation/AsciiText.h"

namespace {

// One two-character field, scanned as far as it holds hexadecimal digits.
unsigned scanPair(std::string_view pair)
{
    unsigned value = 0;
    for (char c : pair) {
        int digit = pf::AsciiText::hexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

}

std::optional<pf::Color> ColorFactory::colorWithHexRGB(std::string_view text)
{
    if (text.size() < 6)
        return std::nullopt;
    double red = scanPair(text.substr(0, 2)) / 255.0;
    double green = scanPair(text.substr(2, 2)) / 255.0;
    double blue = scanPair(text.substr(4, 2)) / 255.0;
    return pf::Color::rgb(red, green, blue, 1.0);
}
