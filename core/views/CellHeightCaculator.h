#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>

namespace pf {
class Label;
class TableViewCell;
}

// Sizes labels to their text and rows to their contents.
class CellHeightCaculator {
public:
    // The label keeps the default frame's origin and takes the size its text needs within the
    // default width (height unbounded): narrower than the default when the text is short.
    static void adjustHeightOfLabel(const std::shared_ptr<pf::Label>& label, const pf::Rect& defaultFrame);

    // The row height for a cell: the content view's subviews are walked in order with a running
    // height m from 0; a subview whose bottom b is at least m makes m = b + 4. A subview ending
    // less than 4 points below an earlier one therefore adds nothing. No subviews give 0.
    static double getCellHeight(const std::shared_ptr<pf::TableViewCell>& cell);
};
