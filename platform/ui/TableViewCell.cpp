#include "platform/ui/TableViewCell.h"

#include "platform/graphics/Image.h"
#include "platform/ui/Animation.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

#include <algorithm>

namespace pf {

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : View(Rect { 0, 0, DefaultWidth, DefaultHeight })
    , m_style(style)
    , m_reuseIdentifier(std::move(reuseIdentifier))
{
}

void TableViewCell::ensureContentView()
{
    if (m_contentView)
        return;
    m_contentView = std::make_shared<View>(bounds());
    m_contentView->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
    m_contentView->setDumpRole(DumpRole::Transparent);
    addSubview(m_contentView);
}

std::shared_ptr<View> TableViewCell::contentView()
{
    ensureContentView();
    return m_contentView;
}

std::shared_ptr<Label> TableViewCell::textLabel()
{
    if (!m_textLabel) {
        m_textLabel = std::make_shared<Label>();
        m_textLabel->setFont(Font::system(18));
        contentView()->addSubview(m_textLabel);
        setNeedsLayout();
        layoutSubviews();
    }
    return m_textLabel;
}

std::shared_ptr<Label> TableViewCell::detailTextLabel()
{
    if (m_style == TableViewCellStyle::Default)
        return nullptr; // the default style has no detail text
    if (!m_detailTextLabel) {
        m_detailTextLabel = std::make_shared<Label>();
        m_detailTextLabel->setFont(Font::system(m_style == TableViewCellStyle::Subtitle ? 12 : 17));
        m_detailTextLabel->setTextColor(Color::gray());
        contentView()->addSubview(m_detailTextLabel);
        layoutSubviews();
    }
    return m_detailTextLabel;
}

std::shared_ptr<ImageView> TableViewCell::imageView()
{
    if (!m_imageView) {
        m_imageView = std::make_shared<ImageView>();
        contentView()->addSubview(m_imageView);
        layoutSubviews();
    }
    return m_imageView;
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> view)
{
    if (m_backgroundView && m_backgroundView->superview().get() == this)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (m_backgroundView) {
        m_backgroundView->setFrame(bounds());
        m_backgroundView->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        insertSubview(m_backgroundView, 0);
    }
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view)
{
    bool wasShown = false;
    auto shown = m_selectedBackgroundView ? m_selectedBackgroundView : m_defaultSelectedBackground;
    if (shown && shown->superview().get() == this) {
        shown->removeFromSuperview();
        wasShown = true;
    }
    m_selectedBackgroundView = std::move(view);
    if (wasShown)
        updateSelectionBackground(false);
}

void TableViewCell::setSelected(bool selected, bool animated)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    updateSelectionBackground(animated);
}

void TableViewCell::setHighlighted(bool highlighted, bool animated)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    updateSelectionBackground(animated);
}

void TableViewCell::updateSelectionBackground(bool animated)
{
    if (weak_from_this().expired())
        return;
    bool show = (m_selected || m_highlighted) && m_selectionStyle != TableViewCellSelectionStyle::None;
    std::shared_ptr<View> bg = m_selectedBackgroundView;
    if (!bg) {
        if (!m_defaultSelectedBackground) {
            m_defaultSelectedBackground = std::make_shared<View>();
            m_defaultSelectedBackground->setBackgroundColor(Color::rgb(217 / 255.0, 217 / 255.0, 217 / 255.0));
        }
        bg = m_defaultSelectedBackground;
    }
    if (show) {
        bg->setAlpha(1);
        if (bg->superview().get() == this)
            return;
        bg->setFrame(bounds());
        bg->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        ensureContentView();
        auto& subs = subviews();
        auto it = std::find(subs.begin(), subs.end(), m_contentView);
        insertSubview(bg, static_cast<size_t>(it - subs.begin()));
        return;
    }
    if (bg->superview().get() != this)
        return;
    if (!animated || !Animation::areAnimationsEnabled()) {
        bg->removeFromSuperview();
        return;
    }
    // Fades out; a new selection meanwhile keeps it.
    std::weak_ptr<View> weakCell = sharedView();
    std::weak_ptr<View> weakBg = bg;
    Animation::animate(0.3, [&] { bg->setAlpha(0); }, [weakCell, weakBg](bool) {
        auto cell = std::static_pointer_cast<TableViewCell>(weakCell.lock());
        auto b = weakBg.lock();
        if (!cell || !b)
            return;
        if (!cell->isSelected() && !cell->isHighlighted() && b->superview() == cell)
            b->removeFromSuperview();
        b->setAlpha(1);
    });
}

void TableViewCell::layoutSubviews()
{
    if (weak_from_this().expired())
        return;
    Rect b = bounds();
    if (m_contentView)
        m_contentView->setFrame(b);
    double x = 15;
    if (m_imageView && m_imageView->image()) {
        Size s = m_imageView->image()->size();
        m_imageView->setFrame({ x, (b.height() - s.height) / 2, s.width, s.height });
        x += s.width + 15;
    }
    double w = std::max(0.0, b.width() - x - 15);
    if (m_textLabel && m_detailTextLabel && m_style == TableViewCellStyle::Subtitle) {
        m_textLabel->setFrame({ x, 4, w, b.height() / 2 - 4 });
        m_detailTextLabel->setFrame({ x, b.height() / 2, w, b.height() / 2 - 4 });
    } else if (m_textLabel && m_detailTextLabel) {
        m_textLabel->setFrame({ x, 0, w / 2, b.height() });
        m_detailTextLabel->setFrame({ x + w / 2, 0, w / 2, b.height() });
    } else if (m_textLabel) {
        m_textLabel->setFrame({ x, 0, w, b.height() });
    }
}

void TableViewCell::dumpAttributes(DumpAttributes& attributes) const
{
    View::dumpAttributes(attributes);
    if (m_selected)
        attributes.flag("selected");
}

}
