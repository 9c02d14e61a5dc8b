#pragma once

#include "platform/ui/Responder.h"

#include <functional>
#include <memory>
#include <string>

namespace pf {

class Image;
class View;

enum class BarButtonItemStyle { Plain, Bordered, Done };

// A button of a navigation bar: either a custom view (which handles its own touches) or a title
// or image that the bar turns into a button sending the item's action: to the target when one
// is set (held weakly), else up the responder chain from the bar.
class BarButtonItem {
public:
    BarButtonItem() = default;
    explicit BarButtonItem(std::shared_ptr<View> customView) : m_customView(std::move(customView)) { }
    BarButtonItem(std::string title, BarButtonItemStyle style, std::weak_ptr<Responder> target, std::string action)
        : m_title(std::move(title)), m_style(style), m_target(std::move(target)), m_action(std::move(action)) { }
    BarButtonItem(std::shared_ptr<Image> image, BarButtonItemStyle style, std::weak_ptr<Responder> target, std::string action)
        : m_image(std::move(image)), m_style(style), m_target(std::move(target)), m_action(std::move(action)) { }

    std::shared_ptr<View> customView() const { return m_customView; }
    void setCustomView(std::shared_ptr<View> view) { m_customView = std::move(view); }
    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    std::shared_ptr<Image> image() const { return m_image; }
    void setImage(std::shared_ptr<Image> image) { m_image = std::move(image); }
    BarButtonItemStyle style() const { return m_style; }
    void setStyle(BarButtonItemStyle style) { m_style = style; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    std::shared_ptr<Responder> target() const { return m_target.lock(); }
    const std::string& action() const { return m_action; }
    void setTarget(std::weak_ptr<Responder> target, std::string action) { m_target = std::move(target); m_action = std::move(action); }
    // A callback instead of a named action (runs in place of it).
    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }
    const std::function<void()>& handler() const { return m_handler; }

private:
    std::shared_ptr<View> m_customView;
    std::string m_title;
    std::shared_ptr<Image> m_image;
    BarButtonItemStyle m_style { BarButtonItemStyle::Plain };
    std::weak_ptr<Responder> m_target;
    std::string m_action;
    std::function<void()> m_handler;
    bool m_enabled { true };
    int m_tag { 0 };
};

}
