#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

#include <memory>
#include <string>

namespace pf {

// An off-screen drawing surface: the platform's bitmap image context. Coordinates are points
// (origin top left, y down); the bitmap has size x scale pixels, rounded up. It starts fully
// transparent; `makeImage` takes a snapshot as an Image at the context's scale.
//
// Rules:
// - A context of empty or oversized dimensions is invalid: drawing does nothing and
//   `makeImage` gives nullptr.
// - Colours are straight RGBA; the bitmap keeps them premultiplied, as Image does.
// - The transformation (translate, rotate, scale) and the clip belong to the graphics state,
//   which `saveState`/`restoreState` push and pop.
class BitmapContext {
public:
    BitmapContext(Size size, double scale = 1.0);
    ~BitmapContext();
    BitmapContext(const BitmapContext&) = delete;
    BitmapContext& operator=(const BitmapContext&) = delete;

    bool isValid() const;
    int pixelWidth() const { return m_pixelWidth; }
    int pixelHeight() const { return m_pixelHeight; }
    double scale() const { return m_scale; }

    // Graphics state.
    void saveState();
    void restoreState();
    void translate(double dx, double dy);
    void rotate(double radians);
    void scaleBy(double sx, double sy);
    void clipToRect(const Rect& rect);
    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    void setLineWidth(double width);

    // Drawing.
    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    // Makes the rectangle transparent again.
    void clearRect(const Rect& rect);
    void fillRoundedRect(const Rect& rect, double radius);
    void strokeRoundedRect(const Rect& rect, double radius);
    void strokeLine(Point from, Point to);
    // The image (its first frame) stretched into `destination`, smoothly filtered.
    void drawImage(const Image& image, const Rect& destination, double alpha = 1.0);
    // Text in the given font and colour, wrapped at the rectangle's width (by words, or by
    // characters for words longer than a line), from its top left, clipped to the rectangle.
    void drawText(const std::string& text, const Rect& rect, const Font& font, const Color& color);

    std::shared_ptr<Image> makeImage() const;

private:
    struct Surface;
    int m_pixelWidth { 0 };
    int m_pixelHeight { 0 };
    double m_scale { 1 };
    std::unique_ptr<Surface> m_surface;
};

}
