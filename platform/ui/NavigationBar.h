#pragma once

#include "platform/graphics/Font.h"
#include "platform/ui/View.h"

#include <functional>
#include <memory>
#include <optional>

namespace pf {

class Button;
class Image;
class Label;
class NavigationItem;

// Text attributes of a navigation bar's title.
struct TitleTextAttributes {
    std::optional<Font> font;
    std::optional<Color> color;
};

// The bar at the top of a navigation controller: the top controller's title (or title view),
// its left item (or a back button when a controller lies below it and the item does not hide
// it) and its right item. Items with a custom view show that view; others become buttons.
class NavigationBar : public View {
public:
    NavigationBar();

    static constexpr double Height = 44;

    TitleTextAttributes titleTextAttributes() const { return m_titleAttributes; }
    void setTitleTextAttributes(const TitleTextAttributes& attributes);
    // The background image (for the default bar metrics).
    std::shared_ptr<Image> backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(std::shared_ptr<Image> image) { m_backgroundImage = std::move(image); }
    std::optional<Color> barTintColor() const { return m_barTint; }
    void setBarTintColor(std::optional<Color> color) { m_barTint = color; }

    // Shows `item`; `backTitle` is the title of the controller below (none: no back button);
    // `onBack` runs when the back button is tapped.
    void showItem(const std::shared_ptr<NavigationItem>& item, std::optional<std::string> backTitle, std::function<void()> onBack);
    std::shared_ptr<NavigationItem> topItem() const { return m_item; }
    std::shared_ptr<Label> titleLabel() const { return m_titleLabel; }
    std::shared_ptr<Button> backButton() const { return m_backButton; }
    // The views shown for the left and right items (null when none).
    std::shared_ptr<View> leftView() const { return m_leftView; }
    std::shared_ptr<View> rightView() const { return m_rightView; }

    void layoutSubviews() override;
    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    void rebuild();
    std::shared_ptr<View> viewForItem(const std::shared_ptr<class BarButtonItem>& item);

    TitleTextAttributes m_titleAttributes;
    std::shared_ptr<Image> m_backgroundImage;
    std::optional<Color> m_barTint;
    std::shared_ptr<NavigationItem> m_item;
    std::optional<std::string> m_backTitle;
    std::function<void()> m_onBack;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<View> m_titleView;
    std::shared_ptr<Button> m_backButton;
    std::shared_ptr<View> m_leftView;
    std::shared_ptr<View> m_rightView;
};

}
