#pragma once

#include <algorithm>
#include <cmath>

namespace pf {

// Points, sizes and rectangles in points (doubles), origin at the top left, y growing down.
struct Point {
    double x { 0 }, y { 0 };
    bool operator==(const Point&) const = default;
};

struct Size {
    double width { 0 }, height { 0 };
    bool operator==(const Size&) const = default;
    bool isEmpty() const { return width <= 0 || height <= 0; }
};

struct EdgeInsets {
    double top { 0 }, left { 0 }, bottom { 0 }, right { 0 };
    bool operator==(const EdgeInsets&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(double x, double y, double w, double h) : origin { x, y }, size { w, h } { }
    Rect(Point o, Size s) : origin(o), size(s) { }
    bool operator==(const Rect&) const = default;

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return std::min(origin.x, origin.x + size.width); }
    double minY() const { return std::min(origin.y, origin.y + size.height); }
    double maxX() const { return std::max(origin.x, origin.x + size.width); }
    double maxY() const { return std::max(origin.y, origin.y + size.height); }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    Point center() const { return { midX(), midY() }; }
    bool isEmpty() const { return size.isEmpty(); }

    // Half-open: the right and bottom edges are outside.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    Rect offsetBy(double dx, double dy) const { return { origin.x + dx, origin.y + dy, size.width, size.height }; }
    Rect insetBy(double dx, double dy) const { return { origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy }; }
    // Empty rectangle at the origin when they do not overlap.
    Rect intersection(const Rect& o) const
    {
        double x0 = std::max(minX(), o.minX()), y0 = std::max(minY(), o.minY());
        double x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
        if (x1 <= x0 || y1 <= y0)
            return {};
        return { x0, y0, x1 - x0, y1 - y0 };
    }
    bool intersects(const Rect& o) const { return !intersection(o).isEmpty(); }
};

}
