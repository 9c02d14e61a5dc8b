#include "platform/ui/Button.h"

#include "platform/graphics/Image.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

#include <algorithm>

namespace pf {

Button::Button(ButtonType type)
    : Button(type, {})
{
}

Button::Button(ButtonType type, const Rect& frame)
    : Control(frame)
    , m_type(type)
    , m_titleLabel(std::make_shared<Label>())
    , m_imageView(std::make_shared<ImageView>())
{
    m_titleLabel->setDumpRole(DumpRole::Hidden);
    m_imageView->setDumpRole(DumpRole::Hidden);
    m_titleLabel->setFont(type == ButtonType::Custom ? Font::system(18) : Font::system(15));
    m_titleLabel->setTextAlignment(TextAlignment::Center);
    // The parts are added once the button is owned by a shared pointer (on first update).
}

template <class T>
std::optional<T> Button::lookup(const std::map<unsigned, T>& map, unsigned state)
{
    auto find = [&](unsigned s) -> std::optional<T> {
        auto it = map.find(s);
        if (it == map.end())
            return std::nullopt;
        return it->second;
    };
    if (auto v = find(state))
        return v;
    if (state & ControlState::Disabled)
        if (auto v = find(ControlState::Disabled))
            return v;
    if (state & ControlState::Selected)
        if (auto v = find(ControlState::Selected))
            return v;
    if (state & ControlState::Highlighted)
        if (auto v = find(ControlState::Highlighted))
            return v;
    return find(ControlState::Normal);
}

void Button::setTitle(const std::string& title, unsigned state)
{
    m_titles[state] = title;
    updateContent();
}

std::string Button::title(unsigned state) const
{
    return lookup(m_titles, state).value_or(std::string {});
}

void Button::setTitleColor(const Color& color, unsigned state)
{
    m_titleColors[state] = color;
    updateContent();
}

Color Button::titleColor(unsigned state) const
{
    if (auto c = lookup(m_titleColors, state))
        return *c;
    if (m_type == ButtonType::System)
        return (state & ControlState::Disabled) ? Color::rgb(0.5, 0.5, 0.5) : Color::rgb(0, 122 / 255.0, 1);
    return Color::white();
}

void Button::setImage(std::shared_ptr<Image> image, unsigned state)
{
    m_images[state] = std::move(image);
    updateContent();
}

std::shared_ptr<Image> Button::image(unsigned state) const
{
    return lookup(m_images, state).value_or(nullptr);
}

void Button::setBackgroundImage(std::shared_ptr<Image> image, unsigned state)
{
    m_backgroundImages[state] = std::move(image);
}

std::shared_ptr<Image> Button::backgroundImage(unsigned state) const
{
    return lookup(m_backgroundImages, state).value_or(nullptr);
}

void Button::setTitleFont(const Font& font)
{
    m_titleLabel->setFont(font);
    updateContent();
}

Font Button::titleFont() const
{
    return m_titleLabel->font();
}

void Button::stateDidChange()
{
    updateContent();
}

void Button::setFrame(const Rect& frame)
{
    Control::setFrame(frame);
    updateContent();
}

void Button::layoutSubviews()
{
    updateContent();
}

void Button::updateContent()
{
    if (weak_from_this().expired())
        return; // still being constructed
    if (m_imageView->superview().get() != this)
        addSubview(m_imageView);
    if (m_titleLabel->superview().get() != this)
        addSubview(m_titleLabel);
    unsigned s = state();
    m_titleLabel->setText(title(s));
    m_titleLabel->setTextColor(titleColor(s));
    auto img = image(s);
    m_imageView->setImage(img);

    // Image and title side by side, centred in the content rectangle.
    Rect content { m_contentInsets.left, m_contentInsets.top,
        std::max(0.0, frame().width() - m_contentInsets.left - m_contentInsets.right),
        std::max(0.0, frame().height() - m_contentInsets.top - m_contentInsets.bottom) };
    Size imageSize = img ? img->size() : Size {};
    Size titleSize = m_titleLabel->text().empty() ? Size {} : m_titleLabel->sizeThatFits({ 0, 0 });
    titleSize.width = std::min(titleSize.width, std::max(0.0, content.width() - imageSize.width));
    double total = imageSize.width + titleSize.width;
    double x = content.x() + (content.width() - total) / 2;
    m_imageView->setFrame({ x, content.y() + (content.height() - imageSize.height) / 2, imageSize.width, imageSize.height });
    m_titleLabel->setFrame({ x + imageSize.width, content.y() + (content.height() - titleSize.height) / 2, titleSize.width, titleSize.height });
}

Size Button::sizeThatFits(Size) const
{
    unsigned s = state();
    auto img = image(s);
    Size imageSize = img ? img->size() : Size {};
    std::string t = title(s);
    Size titleSize = t.empty() ? Size {} : TextMeasurer::sizeOfText(t, m_titleLabel->font());
    double w = imageSize.width + titleSize.width + m_contentInsets.left + m_contentInsets.right;
    double h = std::max(imageSize.height, titleSize.height) + m_contentInsets.top + m_contentInsets.bottom;
    if (auto bg = backgroundImage(s)) {
        w = std::max(w, bg->size().width);
        h = std::max(h, bg->size().height);
    }
    return { w, h };
}

void Button::dumpAttributes(DumpAttributes& attributes) const
{
    unsigned s = state();
    std::string t = title(s);
    if (!t.empty())
        attributes.text("title", t);
    if (auto img = image(s))
        attributes.value("image", ImageView::describeImage(*img));
    if (auto bg = backgroundImage(s))
        attributes.value("bgImage", ImageView::describeImage(*bg));
    Control::dumpAttributes(attributes);
}

}
