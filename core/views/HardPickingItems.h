#pragma once

#include "core/views/CategorySelectionControlDelegate.h"
#include "core/views/HardPickingItemsDelegate.h"
#include "platform/ui/Control.h"

#include <memory>
#include <string>
#include <vector>

class CategorySelectionControl;

// The strip of equal-width text tabs at the top of the tab screens: one CategorySelectionControl
// per title, laid out for a 320-point-wide screen (each 320 / n wide, as high as the strip), with
// the values 10, 11, ... from the left, and a 2-point accent line along the bottom.
//
// Rules:
// - After `assignPickingItems` the first tab is drawn selected; after a touch, the touched one.
// - A touch tells the delegate first (also when the tab was selected already), then redraws
//   every tab: selected when its value is the touched one, else not.
// - The owner gives the strip its frame and adds it to its view before assigning the titles.
// - The delegate is held weakly.
class HardPickingItems : public pf::Control, public CategorySelectionControlDelegate {
public:
    static constexpr int kFirstItemValue = 10;
    static constexpr double kLayoutWidth = 320;

    HardPickingItems() = default;
    explicit HardPickingItems(const pf::Rect& frame) : pf::Control(frame) { }

    // Replaces the tabs with one per title (an empty list leaves no tabs).
    void assignPickingItems(const std::vector<std::string>& titles);
    // The accent line, made once at (0, height - 2, 320, 2); later calls do nothing.
    void addBottomLine();

    void didSelectedCategorySelectionControl(int index) override;

    std::shared_ptr<HardPickingItemsDelegate> hardPickingItemsDelegate() const { return m_delegate.lock(); }
    void setHardPickingItemsDelegate(std::weak_ptr<HardPickingItemsDelegate> delegate) { m_delegate = std::move(delegate); }
    const std::vector<std::shared_ptr<CategorySelectionControl>>& pickingItems() const { return m_pickingItems; }
    std::shared_ptr<pf::View> bottomLine() const { return m_bottomLine; }

    std::string dumpClassName() const override { return "HardPickingItems"; }

private:
    std::weak_ptr<HardPickingItemsDelegate> m_delegate;
    std::vector<std::shared_ptr<CategorySelectionControl>> m_pickingItems;
    std::shared_ptr<pf::View> m_bottomLine;
};
