#pragma once

#include "core/views/CategorySelectionControlDelegate.h"
#include "platform/ui/Control.h"

#include <memory>
#include <string>

namespace pf {
class Label;
}

// One tab of the category tab bar: a title over a plain background and, under the selected
// tab, a 60 x 10 accent underline centred at the bottom, half of it below the tab (so the tab
// must not clip). The tab bar numbers the tabs and is their delegate.
//
// Rules:
// - The first `resetStatement` lays the parts out in the tab's bounds at that moment; later
//   calls only recolour them.
// - A touch (touch-up-inside) selects the tab and then tells the delegate its index, also when
//   it was already selected.
class CategorySelectionControl : public pf::Control {
public:
    static std::shared_ptr<CategorySelectionControl> create(const pf::Rect& frame, const std::string& title);

    // Selected: title and underline in the accent colour; not selected: white title, no line.
    void resetStatement(bool selected);

    int index() const { return m_index; }
    void setIndex(int index) { m_index = index; }
    std::shared_ptr<CategorySelectionControlDelegate> categorySelectionControlDelegate() const { return m_delegate.lock(); }
    void setCategorySelectionControlDelegate(std::weak_ptr<CategorySelectionControlDelegate> delegate) { m_delegate = std::move(delegate); }

    bool isAdapted() const { return m_isAdapted; }
    bool isShownSelected() const { return m_shownSelected; }
    std::shared_ptr<pf::Label> titleLabel() const { return m_titleLabel; }
    std::shared_ptr<pf::View> baseView() const { return m_baseView; }
    std::shared_ptr<pf::View> bottomPromptLine() const { return m_bottomPromptLine; }

    // The touch action.
    void handleTouchEvent();

    std::string dumpClassName() const override { return "CategorySelectionControl"; }
    void dumpAttributes(pf::DumpAttributes& attributes) const override;

    // Use create(): the parts can only be added once the control is owned.
    explicit CategorySelectionControl(const pf::Rect& frame) : pf::Control(frame) { }

private:
    void addBaseView();
    void addTitle();
    void addBottomPromptLine();

    int m_index { 0 };
    std::weak_ptr<CategorySelectionControlDelegate> m_delegate;
    bool m_isAdapted { false };
    bool m_shownSelected { false };
    std::shared_ptr<pf::Label> m_titleLabel;
    std::shared_ptr<pf::View> m_baseView;
    std::shared_ptr<pf::View> m_bottomPromptLine;
};
