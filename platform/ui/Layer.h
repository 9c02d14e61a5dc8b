#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pf {

class View;
class KeyframeAnimation;

// The drawing side of a view: corner radius, border, shadow, and the animations that are running
// on it. Every view owns exactly one; its position is the view's centre and its opacity the
// view's alpha (the model values). The presented values come from running animations.
class Layer {
public:
    explicit Layer(View& view) : m_view(view) { }
    ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    View& view() const { return m_view; }

    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double r) { m_cornerRadius = r; }
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double w) { m_borderWidth = w; }
    std::optional<Color> borderColor() const { return m_borderColor; }
    void setBorderColor(std::optional<Color> c) { m_borderColor = c; }
    bool masksToBounds() const;
    void setMasksToBounds(bool on);

    double shadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(double o) { m_shadowOpacity = o; }
    Size shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(Size s) { m_shadowOffset = s; }
    double shadowRadius() const { return m_shadowRadius; }
    void setShadowRadius(double r) { m_shadowRadius = r; }
    std::optional<Color> shadowColor() const { return m_shadowColor; }
    void setShadowColor(std::optional<Color> c) { m_shadowColor = c; }
    std::optional<Rect> shadowPath() const { return m_shadowPath; }
    void setShadowPath(std::optional<Rect> r) { m_shadowPath = r; }

    // Model values (the view's centre and alpha).
    Point position() const;
    void setPosition(Point p);
    double opacity() const;

    // What is on screen now: the running animation's value for the property, else the model's.
    Point presentationPosition() const;
    double presentationOpacity() const;
    Size presentationSize() const;
    // An opacity animation is running towards a (nearly) transparent model value and the view
    // still shows: it is on its way out and, by its model value, already takes no touches.
    bool isFadingOut() const;

    // Adds an animation; it replaces a running one with the same non-empty key. Animations
    // added with an empty key never replace each other.
    void addAnimation(const std::shared_ptr<KeyframeAnimation>& animation, const std::string& key = {});
    void removeAnimation(const std::string& key);
    void removeAllAnimations();
    std::shared_ptr<KeyframeAnimation> animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    size_t animationCount() const { return m_animations.size(); }

    // For KeyframeAnimation: drops a finished animation.
    void animationDidFinish(KeyframeAnimation* animation);

private:
    std::shared_ptr<KeyframeAnimation> presentedAnimation(const char* keyPath) const;

    View& m_view;
    double m_cornerRadius { 0 };
    double m_borderWidth { 0 };
    std::optional<Color> m_borderColor;
    double m_shadowOpacity { 0 };
    Size m_shadowOffset { 0, -3 };
    double m_shadowRadius { 3 };
    std::optional<Color> m_shadowColor;
    std::optional<Rect> m_shadowPath;
    std::vector<std::pair<std::string, std::shared_ptr<KeyframeAnimation>>> m_animations;
};

}
