#pragma once

#include "platform/ui/View.h"

#include <memory>

// The carousel's page dots: one 8-point dot per page, placed symmetrically about the middle of
// a 320-point strip, 18 points from one dot to the next. The dots are image views tagged 100 +
// their position from the left; the current one shows "slide_on.png", the others
// "slide_def.png". Dots show no image until the first reset.
class CustomPageControlView : public pf::View {
public:
    static constexpr int kFirstDotTag = 100;

    static std::shared_ptr<CustomPageControlView> customPageControlViewWithTotalNumber(int total);

    // Marks the dot of `page` (from 0) as current; a page that matches no dot (a bounce past
    // either end) leaves every dot off.
    void resetCustomStarsViewWithCurrentPageNumber(int page);

    unsigned totalPageCount() const { return m_totalPageCount; }
    // The page whose dot is on; -1 when none is.
    int currentPage() const { return m_currentPage; }

    std::string dumpClassName() const override { return "CustomPageControlView"; }

private:
    void addDot(double x, int tag);

    unsigned m_totalPageCount { 0 };
    int m_currentPage { -1 };
};
