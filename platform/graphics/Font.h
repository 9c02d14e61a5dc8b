#pragma once

#include <string>

namespace pf {

// A font: the system font (a CJK-capable sans face installed by the set-up script) at a point
// size, optionally bold. Text measurement with it lives in TextMeasurer.
struct Font {
    double pointSize { 17 };
    bool bold { false };

    bool operator==(const Font&) const = default;

    static Font system(double size) { return { size, false }; }
    static Font boldSystem(double size) { return { size, true }; }
    // The family every font resolves to, so sizes are the same on every machine.
    static const char* familyName() { return "WenQuanYi Micro Hei"; }
};

}
