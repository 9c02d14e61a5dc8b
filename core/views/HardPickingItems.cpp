#include "core/views/HardPickingItems.h"

#include "core/views/CategorySelectionControl.h"
#include "core/views/ColorFactory.h"

void HardPickingItems::assignPickingItems(const std::vector<std::string>& titles)
{
    // Tabs of an earlier call would stay under the new ones, still touchable: take them away.
    for (const auto& old : m_pickingItems)
        old->removeFromSuperview();
    m_pickingItems.clear();

    auto self = std::static_pointer_cast<HardPickingItems>(sharedView());
    std::weak_ptr<CategorySelectionControlDelegate> delegate = std::static_pointer_cast<CategorySelectionControlDelegate>(self);
    if (!titles.empty()) {
        const double width = kLayoutWidth / static_cast<double>(titles.size());
        for (size_t i = 0; i < titles.size(); ++i) {
            auto tab = CategorySelectionControl::create({}, titles[i]);
            tab->setFrame({ width * static_cast<double>(i), 0, width, frame().height() });
            tab->resetStatement(false);
            tab->setIndex(kFirstItemValue + static_cast<int>(i));
            tab->setCategorySelectionControlDelegate(delegate);
            m_pickingItems.push_back(tab);
            addSubview(tab);
        }
        m_pickingItems.front()->resetStatement(true);
    }
    addBottomLine();
}

void HardPickingItems::addBottomLine()
{
    if (m_bottomLine)
        return;
    m_bottomLine = std::make_shared<pf::View>(pf::Rect { 0, frame().height() - 2, kLayoutWidth, 2 });
    m_bottomLine->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
    addSubview(m_bottomLine);
}

void HardPickingItems::didSelectedCategorySelectionControl(int index)
{
    if (auto delegate = m_delegate.lock())
        delegate->didSelectedItem(index);
    // The delegate may have replaced the tabs; walk the ones there now.
    auto tabs = m_pickingItems;
    for (const auto& tab : tabs)
        tab->resetStatement(tab->index() == index);
}
