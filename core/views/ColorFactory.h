#pragma once

#include "platform/graphics/Color.h"

#include <optional>
#include <string_view>

// Makes the application's colours from six hexadecimal digits ("eeeef0", "ffb701"): the pairs
// at 0-1, 2-3 and 4-5 are red, green and blue out of 255, alpha 1. Texts carry no "#".
//
// Rules:
// - Fewer than six characters give no colour; characters after the sixth are ignored.
// - Each pair is read on its own, upper or lower case, stopping at the first character that is
//   not a hexadecimal digit ("0g" reads 0x0). A pair that starts with a non-digit reads 0, so
//   the component is always defined.
class ColorFactory {
public:
    static std::optional<pf::Color> colorWithHexRGB(std::string_view text);
};
