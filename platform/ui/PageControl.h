#pragma once

#include "platform/ui/Control.h"

namespace pf {

// A row of dots, one per page, the current one marked. A tap on the left half goes one page
// back, on the right half one page on, and sends ValueChanged. The current page stays within
// 0 .. numberOfPages - 1.
class PageControl : public Control {
public:
    PageControl() = default;
    explicit PageControl(const Rect& frame) : Control(frame) { }

    int numberOfPages() const { return m_pages; }
    void setNumberOfPages(int pages);
    int currentPage() const { return m_current; }
    void setCurrentPage(int page);
    bool hidesForSinglePage() const { return m_hidesForSinglePage; }
    void setHidesForSinglePage(bool hides) { m_hidesForSinglePage = hides; }
    std::optional<Color> pageIndicatorTintColor() const { return m_tint; }
    void setPageIndicatorTintColor(std::optional<Color> color) { m_tint = color; }
    std::optional<Color> currentPageIndicatorTintColor() const { return m_currentTint; }
    void setCurrentPageIndicatorTintColor(std::optional<Color> color) { m_currentTint = color; }

    // Width of the dots for a number of pages: 16 points a page.
    static Size sizeForNumberOfPages(int pages);
    Size sizeThatFits(Size size) const override { return sizeForNumberOfPages(m_pages); }

    void touchesEnded(const Touch& touch) override;
    std::shared_ptr<View> hitTest(Point point) override;
    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    int m_pages { 0 };
    int m_current { 0 };
    bool m_hidesForSinglePage { false };
    std::optional<Color> m_tint;
    std::optional<Color> m_currentTint;
};

}
