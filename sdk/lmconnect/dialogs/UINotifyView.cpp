#include "sdk/lmconnect/dialogs/UINotifyView.h"

#include "sdk/lmconnect/dialogs/PerformBlockAfterDelay.h"

#include "platform/graphics/Font.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/TextMeasurer.h"
#include "platform/ui/Animation.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"

#include <limits>

namespace {

const pf::Font& textFont()
{
    static const pf::Font font = pf::Font::boldSystem(14);
    return font;
}

}

UINotifyView::UINotifyView(std::shared_ptr<pf::Image> image, std::optional<std::string> text)
    : pf::View(defaultFrame())
    , m_image(std::move(image))
    , m_text(std::move(text))
{
}

std::shared_ptr<UINotifyView> UINotifyView::initWithImage(std::shared_ptr<pf::Image> image, std::optional<std::string> text)
{
    auto view = std::make_shared<UINotifyView>(std::move(image), std::move(text));
    view->setUp();
    return view;
}

void UINotifyView::setUp()
{
    m_backgroundView = std::make_shared<pf::View>(bounds());
    m_backgroundView->layer().setCornerRadius(m_roundness);
    m_backgroundView->layer().setBorderWidth(1);
    m_backgroundView->layer().setBorderColor(m_borderColor);
    // The background's opacity is its alpha over black.
    m_backgroundView->setBackgroundColor(pf::Color::black());
    m_backgroundView->setAlpha(0);

    pf::Size half = m_image ? pf::Size { m_image->size().width / 2, m_image->size().height / 2 } : pf::Size { 0, 0 };
    m_imageView = std::make_shared<pf::ImageView>(pf::Rect(0, 0, half.width, half.height));
    m_imageView->setBackgroundColor(std::nullopt);
    if (m_image)
        m_imageView->setImage(m_image);
    m_imageView->setAlpha(0);

    m_textLabel = std::make_shared<pf::Label>(pf::Rect(0, 0, 0, bounds().height()));
    m_textLabel->setFont(textFont());
    m_textLabel->setTextColor(pf::Color { 1, 1, 1, 1 });
    m_textLabel->setAlpha(0);
    m_textLabel->setBackgroundColor(std::nullopt);
    m_textLabel->setTextAlignment(pf::TextAlignment::Center);
    m_textLabel->setNumberOfLines(0);
    if (m_text)
        m_textLabel->setText(*m_text);

    addSubview(m_backgroundView);
    addSubview(m_imageView);
    addSubview(m_textLabel);
    ajustTextAndImagePosition();
}

std::shared_ptr<UINotifyView> UINotifyView::notifyViewWithImage(std::shared_ptr<pf::Image> image, std::optional<std::string> text)
{
    return initWithImage(std::move(image), std::move(text));
}

void UINotifyView::ajustTextAndImagePosition()
{
    pf::Rect background = m_backgroundView->frame();
    double textWidth = m_text && !m_text->empty()
        ? pf::TextMeasurer::sizeOfText(*m_text, textFont(), pf::Size { std::numeric_limits<double>::max(), background.height() }).width
        : 0;
    pf::Rect icon = m_imageView->frame();
    double x = (background.width() - icon.width() - textWidth) / 2;
    m_imageView->setFrame(pf::Rect(x, (background.height() - icon.height()) / 2, icon.width(), icon.height()));
    m_textLabel->setFrame(pf::Rect(x + icon.width(), 0, textWidth, background.height()));
}

void UINotifyView::setCurrentOpacity(double opacity)
{
    m_imageView->setAlpha(opacity > 0 ? 1 : 0);
    m_textLabel->setAlpha(opacity > 0 ? 1 : 0);
    m_backgroundView->setAlpha(opacity);
    m_currentOpacity = opacity;
}

void UINotifyView::setRoundness(double roundness)
{
    m_backgroundView->layer().setCornerRadius(roundness);
    m_roundness = roundness;
}

void UINotifyView::setBorderColor(pf::Color color)
{
    m_backgroundView->layer().setBorderColor(color);
    m_borderColor = color;
}

void UINotifyView::setText(std::optional<std::string> text)
{
    m_textLabel->setText(text.value_or(""));
    m_text = std::move(text);
    ajustTextAndImagePosition();
}

void UINotifyView::setImage(std::shared_ptr<pf::Image> image)
{
    m_imageView->setImage(image);
    m_image = std::move(image);
    ajustTextAndImagePosition();
}

void UINotifyView::presentWithDuration(double duration, double speed, const std::shared_ptr<pf::View>&, std::function<void()> completion)
{
    m_isAnimating = true;
    std::weak_ptr<UINotifyView> weak = std::static_pointer_cast<UINotifyView>(shared_from_this());
    pf::Animation::animate(speed, [this] { setCurrentOpacity(m_destinationOpacity); },
        [weak, duration, speed, completion = std::move(completion)](bool finished) {
            auto self = weak.lock();
            if (self && finished)
                self->fadeAfter(duration, speed, completion);
        });
}

void UINotifyView::fadeAfter(double duration, double speed, std::function<void()> completion)
{
    std::weak_ptr<UINotifyView> weak = std::static_pointer_cast<UINotifyView>(shared_from_this());
    PerformBlockAfterDelay::performBlock([weak, speed, completion = std::move(completion)] {
        auto self = weak.lock();
        if (!self)
            return;
        pf::Animation::animate(speed, [raw = self.get()] { raw->setCurrentOpacity(0); }, [weak, completion](bool finished) {
            auto view = weak.lock();
            if (!view || !finished)
                return;
            view->m_isAnimating = false;
            if (completion)
                completion();
        });
    }, duration);
}
