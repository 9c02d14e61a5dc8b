#pragma once

#include "platform/graphics/Color.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pf {
class Image;
class ImageView;
class Label;
}

// A small rounded dark notice, an icon left of a text, centred together, that fades in, stays
// and fades out. The icon shows at half its image's size (the images are drawn for scale 2);
// a later image keeps the first one's size.
//
// Rules:
// - `presentWithDuration` (stay d, fade s): in over s, d shown, out over s; the completion runs
//   when it has faded out. An interrupted fade stops the chain (nothing after it runs).
// - The background's opacity follows `currentOpacity` (shown: 0.75); icon and text show
//   whenever it is above 0. The caller adds the notice to its view.
class UINotifyView : public pf::View {
public:
    static constexpr double kDestinationOpacity = 0.75;
    static constexpr double kRoundness = 10;

    // Use `initWithImage` (or `notifyViewWithImage`): the views are put together after construction.
    UINotifyView(std::shared_ptr<pf::Image> image, std::optional<std::string> text);
    static std::shared_ptr<UINotifyView> initWithImage(std::shared_ptr<pf::Image> image, std::optional<std::string> text);
    static std::shared_ptr<UINotifyView> notifyViewWithImage(std::shared_ptr<pf::Image> image, std::optional<std::string> text);
    static pf::Rect defaultFrame() { return pf::Rect(0, 0, 280, 45); }

    void presentWithDuration(double duration, double speed, const std::shared_ptr<pf::View>& inView, std::function<void()> completion);
    void fadeAfter(double duration, double speed, std::function<void()> completion);

    void setRoundness(double roundness);
    void setBorderColor(pf::Color color);
    void setText(std::optional<std::string> text);
    void setImage(std::shared_ptr<pf::Image> image);
    void setCurrentOpacity(double opacity);
    void ajustTextAndImagePosition();

    double currentOpacity() const { return m_currentOpacity; }
    double destinationOpacity() const { return m_destinationOpacity; }
    double roundness() const { return m_roundness; }
    bool isAnimating() const { return m_isAnimating; }
    void setIsAnimating(bool animating) { m_isAnimating = animating; }
    const std::optional<std::string>& text() const { return m_text; }
    const std::shared_ptr<pf::View>& backgroundView() const { return m_backgroundView; }
    const std::shared_ptr<pf::ImageView>& imageView() const { return m_imageView; }
    const std::shared_ptr<pf::Label>& textLabel() const { return m_textLabel; }

    std::string dumpClassName() const override { return "UINotifyView"; }

private:
    void setUp();

    double m_destinationOpacity { kDestinationOpacity };
    std::shared_ptr<pf::View> m_backgroundView;
    double m_currentOpacity { 0 };
    double m_roundness { kRoundness };
    std::shared_ptr<pf::ImageView> m_imageView;
    bool m_bordered { false };
    std::shared_ptr<pf::Label> m_textLabel;
    std::shared_ptr<pf::Image> m_image;
    pf::Color m_borderColor { 0, 0, 0, 0 };
    std::optional<std::string> m_text;
    bool m_isAnimating { false };
};
