#pragma once

#include "platform/foundation/Value.h"
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
// Rules: every decoder gives nullptr for corrupt, truncated or unknown data and never crashes.
class Image {
public:
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

    // Animation frames (empty for a still image): each frame is a full image of the same size.
    struct Frame {
        std::shared_ptr<Image> image;
        double delay { 0.1 };
    };
    std::vector<Frame>& frames() { return m_frames; }
    const std::vector<Frame>& frames() const { return m_frames; }

    // Where the image came from, for dumps ("back.png", a URL); empty when drawn in code.
    const std::string& name() const { return m_name; }
    void setName(std::string name) { m_name = std::move(name); }

    // --- decoding and encoding (ImageCodec.cpp) ---
    static std::shared_ptr<Image> decode(const Bytes& data);
    static std::shared_ptr<Image> fromFile(const std::string& path);
    Bytes pngData() const;
    Bytes jpegData(double quality) const;

    // --- operations (ImageOps.cpp) ---
    // The part of the image inside `pixelRect`, clipped to the image; nullptr when the rectangle
    // lies wholly outside.
    std::shared_ptr<Image> cropped(const Rect& pixelRect) const;
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
