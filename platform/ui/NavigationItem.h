#pragma once

#include <functional>
#include <memory>
#include <string>

namespace pf {

class BarButtonItem;
class View;

// What a navigation bar shows while a controller is on top: a title (or a title view), left and
// right bar button items and whether the back button is hidden. Changes are reported to the bar
// showing the item.
class NavigationItem {
public:
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title) { m_title = title; changed(); }
    std::shared_ptr<View> titleView() const { return m_titleView; }
    void setTitleView(std::shared_ptr<View> view) { m_titleView = std::move(view); changed(); }
    std::shared_ptr<BarButtonItem> leftBarButtonItem() const { return m_left; }
    void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) { m_left = std::move(item); changed(); }
    std::shared_ptr<BarButtonItem> rightBarButtonItem() const { return m_right; }
    void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item) { m_right = std::move(item); changed(); }
    bool hidesBackButton() const { return m_hidesBackButton; }
    void setHidesBackButton(bool hides) { m_hidesBackButton = hides; changed(); }

    // For the navigation bar.
    void setChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }

private:
    void changed()
    {
        if (m_onChange)
            m_onChange();
    }

    std::string m_title;
    std::shared_ptr<View> m_titleView;
    std::shared_ptr<BarButtonItem> m_left;
    std::shared_ptr<BarButtonItem> m_right;
    bool m_hidesBackButton { false };
    std::function<void()> m_onChange;
};

}
