#pragma once

#include <optional>
#include <string>

namespace pf {

// An RGBA colour with components in 0..1.
struct Color {
    double red { 0 }, green { 0 }, blue { 0 }, alpha { 1 };

    bool operator==(const Color&) const = default;

    static Color rgb(double r, double g, double b, double a = 1) { return { r, g, b, a }; }
    static Color white() { return { 1, 1, 1, 1 }; }
    static Color black() { return { 0, 0, 0, 1 }; }
    static Color clear() { return { 0, 0, 0, 0 }; }
    static Color gray() { return { 0.5, 0.5, 0.5, 1 }; }
    static Color lightGray() { return { 2.0 / 3, 2.0 / 3, 2.0 / 3, 1 }; }
    static Color darkGray() { return { 1.0 / 3, 1.0 / 3, 1.0 / 3, 1 }; }
    static Color red_() { return { 1, 0, 0, 1 }; }
    static Color orange() { return { 1, 0.5, 0, 1 }; }
    static Color blue_() { return { 0, 0, 1, 1 }; }

    // "#RRGGBB" (upper-case hex, alpha left out when 1), for dumps and tests.
    std::string hexString() const;
};

}
