#include "platform/ui/NavigationBar.h"

#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationItem.h"

#include <algorithm>

namespace pf {

NavigationBar::NavigationBar()
{
    setAutoresizingMask(Autoresizing::FlexibleWidth);
}

void NavigationBar::setTitleTextAttributes(const TitleTextAttributes& attributes)
{
    m_titleAttributes = attributes;
    rebuild();
}

void NavigationBar::showItem(const std::shared_ptr<NavigationItem>& item, std::optional<std::string> backTitle, std::function<void()> onBack)
{
    if (m_item && m_item != item)
        m_item->setChangeHandler(nullptr);
    m_item = item;
    m_backTitle = std::move(backTitle);
    m_onBack = std::move(onBack);
    if (m_item) {
        std::weak_ptr<View> weak = sharedView();
        m_item->setChangeHandler([weak] {
            if (auto bar = std::static_pointer_cast<NavigationBar>(weak.lock()))
                bar->rebuild();
        });
    }
    rebuild();
}

std::shared_ptr<View> NavigationBar::viewForItem(const std::shared_ptr<BarButtonItem>& item)
{
    if (!item)
        return nullptr;
    if (auto custom = item->customView())
        return custom;
    auto button = std::make_shared<Button>(ButtonType::System);
    if (!item->title().empty())
        button->setTitle(item->title());
    if (item->image())
        button->setImage(item->image());
    button->setEnabled(item->isEnabled());
    button->setTag(item->tag());
    std::weak_ptr<BarButtonItem> weakItem = item;
    button->addAction("barButtonItem", [weakItem](const std::shared_ptr<Control>& sender) {
        auto it = weakItem.lock();
        if (!it)
            return;
        if (it->handler()) {
            it->handler()();
            return;
        }
        if (it->action().empty())
            return;
        if (auto target = it->target())
            target->performAction(it->action(), sender);
        else
            Responder::sendAction(it->action(), sender, sender);
    }, ControlEvent::TouchUpInside);
    Size s = button->sizeThatFits({});
    button->setFrame({ 0, 0, std::max(s.width + 10, 44.0), Height });
    return button;
}

void NavigationBar::rebuild()
{
    std::vector<std::shared_ptr<View>> shown { m_titleLabel, m_titleView, m_leftView, m_rightView, m_backButton };
    for (auto& v : shown)
        if (v && v->superview().get() == this)
            v->removeFromSuperview();
    m_titleLabel.reset();
    m_titleView.reset();
    m_leftView.reset();
    m_rightView.reset();
    m_backButton.reset();
    if (!m_item)
        return;

    if (auto left = m_item->leftBarButtonItem()) {
        m_leftView = viewForItem(left);
    } else if (m_backTitle && !m_item->hidesBackButton()) {
        m_backButton = std::make_shared<Button>(ButtonType::System);
        m_backButton->setTitle(m_backTitle->empty() ? std::string("Back") : *m_backTitle);
        auto onBack = m_onBack;
        m_backButton->addAction("back", [onBack](const std::shared_ptr<Control>&) {
            if (onBack)
                onBack();
        }, ControlEvent::TouchUpInside);
        Size s = m_backButton->sizeThatFits({});
        m_backButton->setFrame({ 0, 0, std::min(std::max(s.width + 16, 44.0), 110.0), Height });
        m_leftView = m_backButton;
    }
    m_rightView = viewForItem(m_item->rightBarButtonItem());

    if (auto titleView = m_item->titleView()) {
        m_titleView = titleView;
        addSubview(m_titleView);
    } else {
        m_titleLabel = std::make_shared<Label>();
        m_titleLabel->setText(m_item->title());
        m_titleLabel->setFont(m_titleAttributes.font.value_or(Font::boldSystem(17)));
        m_titleLabel->setTextColor(m_titleAttributes.color.value_or(Color::black()));
        m_titleLabel->setTextAlignment(TextAlignment::Center);
        addSubview(m_titleLabel);
    }
    if (m_leftView)
        addSubview(m_leftView);
    if (m_rightView)
        addSubview(m_rightView);
    layoutSubviews();
}

void NavigationBar::layoutSubviews()
{
    double w = bounds().width(), h = bounds().height();
    double leftEdge = 0, rightEdge = w;
    if (m_leftView) {
        Rect f = m_leftView->frame();
        m_leftView->setFrame({ 0, (h - f.height()) / 2, f.width(), f.height() });
        leftEdge = f.width();
    }
    if (m_rightView) {
        Rect f = m_rightView->frame();
        m_rightView->setFrame({ w - f.width(), (h - f.height()) / 2, f.width(), f.height() });
        rightEdge = w - f.width();
    }
    // The title is centred on the bar, narrowed to stay clear of the items.
    double side = std::max(leftEdge, w - rightEdge);
    double room = std::max(0.0, w - 2 * side);
    if (m_titleLabel) {
        Size s = m_titleLabel->sizeThatFits({});
        double tw = std::min(s.width, room);
        m_titleLabel->setFrame({ (w - tw) / 2, (h - s.height) / 2, tw, s.height });
    } else if (m_titleView) {
        Rect f = m_titleView->frame();
        m_titleView->setFrame({ (w - f.width()) / 2, (h - f.height()) / 2, f.width(), f.height() });
    }
}

void NavigationBar::dumpAttributes(DumpAttributes& attributes) const
{
    if (m_backgroundImage)
        attributes.value("bgImage", ImageView::describeImage(*m_backgroundImage));
    View::dumpAttributes(attributes);
}

}
