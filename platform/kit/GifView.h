#pragma once

#include "platform/ui/ImageView.h"

#include <memory>
#include <string>

namespace pf {

// An image view that plays an animated picture (a GIF file): each frame shows for its own
// delay, timed by the main run loop's clock, round and round. `image()` is the whole
// animation (named after its file, first frame as its pixels); the frame on show is
// `currentFrameIndex()` / `currentFrame()`.
//
// Rules:
// - Made from a file it takes the picture's size in points (half its pixel size for an "@2x"
//   file); a missing or unreadable file gives a view of size zero that shows nothing. Callers
//   resize it as they need (the frames are stretched).
// - It starts playing when made and plays until `stopAnimating` or its end; a still picture
//   never schedules anything. Setting another image starts that one from its first frame.
class GifView : public ImageView {
public:
    static std::shared_ptr<GifView> withGifFile(const std::string& path);
    static std::shared_ptr<GifView> withImage(std::shared_ptr<Image> image);
    ~GifView() override;

    void setImage(std::shared_ptr<Image> image) override;

    // The picture's size in pixels; zero without one. (The lists show their indicators at half
    // of it.)
    Size pixelSize() const;
    size_t frameCount() const;
    size_t currentFrameIndex() const { return m_frameIndex; }
    std::shared_ptr<Image> currentFrame() const;

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return m_animating; }


private:
    void scheduleNextFrame();

    size_t m_frameIndex { 0 };
    bool m_animating { false };
};

}
