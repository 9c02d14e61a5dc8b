#include "core/views/CellHeightCaculator.h"

#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

#include <limits>
#include <vector>

void CellHeightCaculator::adjustHeightOfLabel(const std::shared_ptr<pf::Label>& label, const pf::Rect& defaultFrame)
{
    if (!label)
        return;
    pf::Size fitted = label->sizeThatFits({ defaultFrame.width(), std::numeric_limits<float>::max() });
    label->setFrame({ defaultFrame.x(), defaultFrame.y(), fitted.width, fitted.height });
}

double CellHeightCaculator::getCellHeight(const std::shared_ptr<pf::TableViewCell>& cell)
{
    if (!cell)
        return 0;
    const std::vector<std::shared_ptr<pf::View>> subviews = cell->contentView()->subviews();
    double height = 0;
    for (const auto& sub : subviews) {
        double bottom = sub->frame().y() + sub->frame().height();
        if (bottom >= height)
            height = bottom + 4.0;
    }
    return height;
}
