#pragma once

#include "platform/graphics/Font.h"
#include "platform/ui/Control.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace pf {

class Image;
class ImageView;
class Label;

enum class ButtonType { Custom, System };

// A control with a title, title colour, image and background image per state.
//
// Rules: a value missing for the current state falls back to the disabled, then selected, then
// highlighted value when those flags are set, then to the normal one. The custom type has a
// white default title colour, the system type the platform's blue. The title label and image
// view are parts of the button (the dump reports them on the button's line).
class Button : public Control {
public:
    explicit Button(ButtonType type = ButtonType::Custom);
    Button(ButtonType type, const Rect& frame);

    ButtonType buttonType() const { return m_type; }

    void setTitle(const std::string& title, unsigned state = ControlState::Normal);
    std::string title(unsigned state = ControlState::Normal) const;
    void setTitleColor(const Color& color, unsigned state = ControlState::Normal);
    Color titleColor(unsigned state = ControlState::Normal) const;
    void setImage(std::shared_ptr<Image> image, unsigned state = ControlState::Normal);
    std::shared_ptr<Image> image(unsigned state = ControlState::Normal) const;
    void setBackgroundImage(std::shared_ptr<Image> image, unsigned state = ControlState::Normal);
    std::shared_ptr<Image> backgroundImage(unsigned state = ControlState::Normal) const;

    std::string currentTitle() const { return title(state()); }
    Color currentTitleColor() const { return titleColor(state()); }
    std::shared_ptr<Image> currentImage() const { return image(state()); }
    std::shared_ptr<Image> currentBackgroundImage() const { return backgroundImage(state()); }

    std::shared_ptr<Label> titleLabel() const { return m_titleLabel; }
    std::shared_ptr<ImageView> imageView() const { return m_imageView; }
    // Shortcut for the title label's font.
    void setTitleFont(const Font& font);
    Font titleFont() const;
    EdgeInsets contentEdgeInsets() const { return m_contentInsets; }
    void setContentEdgeInsets(EdgeInsets insets) { m_contentInsets = insets; updateContent(); }

    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;
    void setFrame(const Rect& frame) override;

    void dumpAttributes(DumpAttributes& attributes) const override;

protected:
    void stateDidChange() override;

private:
    template <class T>
    static std::optional<T> lookup(const std::map<unsigned, T>& map, unsigned state);
    void updateContent();

    ButtonType m_type;
    std::map<unsigned, std::string> m_titles;
    std::map<unsigned, Color> m_titleColors;
    std::map<unsigned, std::shared_ptr<Image>> m_images;
    std::map<unsigned, std::shared_ptr<Image>> m_backgroundImages;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<ImageView> m_imageView;
    EdgeInsets m_contentInsets;
};

}
