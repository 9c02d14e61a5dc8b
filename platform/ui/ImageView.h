#pragma once

#include "platform/ui/View.h"

#include <memory>

namespace pf {

class Image;

// Shows an image. User interaction is off by default. Made with an image, it takes the image's
// size; `sizeThatFits` is the image's size (zero without one).
class ImageView : public View {
public:
    ImageView();
    explicit ImageView(const Rect& frame);
    explicit ImageView(std::shared_ptr<Image> image);

    std::shared_ptr<Image> image() const { return m_image; }
    virtual void setImage(std::shared_ptr<Image> image);
    std::shared_ptr<Image> highlightedImage() const { return m_highlightedImage; }
    void setHighlightedImage(std::shared_ptr<Image> image) { m_highlightedImage = std::move(image); }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool on) { m_highlighted = on; }

    Size sizeThatFits(Size size) const override;

    void dumpAttributes(DumpAttributes& attributes) const override;
    // How an image is named on a dump line: its name, else its size in points.
    static std::string describeImage(const Image& image);

private:
    std::shared_ptr<Image> m_image;
    std::shared_ptr<Image> m_highlightedImage;
    bool m_highlighted { false };
};

}
