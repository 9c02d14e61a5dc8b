#pragma once

#include "platform/foundation/Value.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {

// A decoded bitmap: premultiplied-alpha ARGB32 pixels (cairo's layout, native-endian 32-bit
// words, stride = 4 * pixelWidth) at a scale (points = pixels / scale). Animated images keep
// their frames and per-frame delays in seconds; `pixels` is the first frame.
//
// Rules:
// - Every decoder gives nullptr for corrupt, truncated or unknown data and never crashes. Data
//   that stops where a PNG's closing chunk or a GIF's next record would begin is taken as
//   complete (many writers leave the closing marker out).
// - Pictures larger than `kMaxDimension` on a side or `kMaxPixels` in all (counting every
//   frame of an animation) are refused before any pixel memory is taken, so hostile headers
//   cannot exhaust memory.
// - Images made by the operations (crop, scale) and by drawing have scale 1 unless said
//   otherwise; the pixel rectangle of a crop is in pixels, not points.
class Image {
public:
    static constexpr int kMaxDimension = 16384;
    static constexpr long long kMaxPixels = 64LL * 1024 * 1024;

    Image(int pixelWidth, int pixelHeight, double scale = 1.0);

    int pixelWidth() const { return m_width; }
    int pixelHeight() const { return m_height; }
    double scale() const { return m_scale; }
    void setScale(double s) { m_scale = s > 0 ? s : 1.0; }
    // Size in points.
    Size size() const { return { m_width / m_scale, m_height / m_scale }; }

    std::vector<std::uint32_t>& pixels() { return m_pixels; }
    const std::vector<std::uint32_t>& pixels() const { return m_pixels; }
    std::uint32_t pixelAt(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    // The straight (not premultiplied) colour of one pixel; clear outside the image.
    Color colorAt(int x, int y) const;
    // The premultiplied ARGB32 word of a colour, as stored in `pixels`.
    static std::uint32_t pixelFromColor(const Color& color);

    // Animation frames (empty for a still image): each frame is a full image of the same size.
    struct Frame {
        std::shared_ptr<Image> image;
        double delay { 0.1 };
    };
    std::vector<Frame>& frames() { return m_frames; }
    const std::vector<Frame>& frames() const { return m_frames; }
    bool isAnimated() const { return m_frames.size() > 1; }
    // Sum of the frame delays; 0 for a still image.
    double animationDuration() const;

    // Where the image came from, for dumps ("back.png", a URL); empty when drawn in code.
    const std::string& name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }

    // --- decoding and encoding (ImageCodec.cpp) ---
    // PNG, JPEG or GIF, told apart by their signatures. GIF frame delays below 0.02 s (which
    // many files carry as "as fast as possible") play at 0.1 s.
    static std::shared_ptr<Image> decode(const Bytes& data);
    static std::shared_ptr<Image> decode(const Bytes& data, double scale);
    // Decodes a file; a name ending in "@2x" (or "@3x") before its extension gives that scale.
    // The image's name is the file's name without its folder.
    static std::shared_ptr<Image> fromFile(const std::string& path);
    static double scaleForFileName(const std::string& path);
    // Encodings of the (first frame of the) image. PNG keeps alpha; JPEG has none, so
    // transparent parts come out black. Quality is 0..1 (clamped), higher is larger and finer.
    // Empty bytes when the image has no pixels.
    Bytes pngData() const;
    Bytes jpegData(double quality) const;

    // --- operations (ImageOps.cpp) ---
    // The part of the image inside `pixelRect` (rounded out to whole pixels), clipped to the
    // image; nullptr when the rectangle lies wholly outside. The first frame only.
    std::shared_ptr<Image> cropped(const Rect& pixelRect) const;
    // The image drawn stretched into a bitmap of the given pixel size (smooth filtering);
    // nullptr for an empty or oversized target.
    std::shared_ptr<Image> scaled(int pixelWidth, int pixelHeight) const;

private:
    int m_width;
    int m_height;
    double m_scale;
    std::vector<std::uint32_t> m_pixels;
    std::vector<Frame> m_frames;
    std::string m_name;
};

}
