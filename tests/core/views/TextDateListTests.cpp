#include "ViewsTestSupport.h"

#include "core/views/ArrayExtent.h"
#include "core/views/CellHeightCaculator.h"
#include "core/views/DateConverter.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>
#include <vector>

using pf::Rect;

namespace {

class TextDateListTests : public ViewsTest { };

double heightOf(const std::vector<Rect>& frames)
{
    auto cell = std::make_shared<pf::TableViewCell>();
    for (const auto& frame : frames)
        cell->contentView()->addSubview(std::make_shared<pf::View>(frame));
    return CellHeightCaculator::getCellHeight(cell);
}

TEST_F(TextDateListTests, CellHeightFollowsSubviewOrder)
{
    EXPECT_EQ(heightOf({}), 0);
    EXPECT_EQ(heightOf({ { 0, 0, 10, 100 }, { 0, 90, 10, 12 } }), 104);
    EXPECT_EQ(heightOf({ { 0, 90, 10, 12 }, { 0, 0, 10, 100 } }), 106);
    EXPECT_EQ(heightOf({ { 0, 10, 10, 20 }, { 0, 40, 10, 20 }, { 0, 5, 10, 5 } }), 64);
}

TEST_F(TextDateListTests, LabelKeepsItsOriginAndShrinksToShortText)
{
    auto label = std::make_shared<pf::Label>();
    label->setNumberOfLines(0);
    label->setLineBreakMode(pf::LineBreakMode::WordWrap);
    label->setText("短");
    CellHeightCaculator::adjustHeightOfLabel(label, { 10, 20, 300, 30 });
    EXPECT_EQ(label->frame().origin, (pf::Point { 10, 20 }));
    EXPECT_GT(label->frame().width(), 0);
    EXPECT_LT(label->frame().width(), 300);
    EXPECT_GT(label->frame().height(), 0);

    // A long text wraps within the default width and grows downwards without limit.
    label->setText(std::string(60 * 3, 'x').insert(0, "礼包说明 ") + std::string(400, 'y'));
    double oneLine = label->frame().height();
    CellHeightCaculator::adjustHeightOfLabel(label, { 10, 20, 300, 30 });
    EXPECT_LE(label->frame().width(), 300);
    EXPECT_GT(label->frame().height(), 3 * oneLine);
}

TEST_F(TextDateListTests, DatesPrintInTheDeviceTimeZone)
{
    pf::DateFormatter::setLocalTimeZone("Asia/Shanghai");
    EXPECT_EQ(DateConverter::dateFromUNIXTime(0), "1970-01-01 08:00");
    // 2014-05-01 09:30:59 China time.
    const double may = 1398907859;
    EXPECT_EQ(DateConverter::dateFromUNIXTime(may), "2014-05-01 09:30");
    EXPECT_EQ(DateConverter::date1FromUNIXTime(may), "05月01日");
    EXPECT_EQ(DateConverter::date2FromUNIXTime(may), "2014-05-01");
    EXPECT_EQ(DateConverter::dateFromUNIXTime(1398956400), "2014-05-01 23:00"); // 24-hour clock

    pf::DateFormatter::setLocalTimeZone("UTC");
    EXPECT_EQ(DateConverter::dateFromUNIXTime(may), "2014-05-01 01:30");

}

TEST_F(TextDateListTests, SafeReadsGiveNothingOutsideTheList)
{
    std::vector<std::shared_ptr<int>> pages { std::make_shared<int>(0), std::make_shared<int>(1) };
    EXPECT_EQ(ArrayExtent::valueAtIndex(pages, 1), pages[1]);
    EXPECT_FALSE(ArrayExtent::valueAtIndex(pages, -1));
    EXPECT_FALSE(ArrayExtent::valueAtIndex(pages, 2));
    EXPECT_FALSE(ArrayExtent::valueAtIndex(std::vector<std::shared_ptr<int>> {}, 0));

    std::vector<std::vector<std::shared_ptr<int>>> sections { pages, {} };
    EXPECT_EQ(ArrayExtent::valueAtIndexPath(sections, 0, 1), pages[1]);
    EXPECT_FALSE(ArrayExtent::valueAtIndexPath(sections, 1, 0));
    EXPECT_FALSE(ArrayExtent::valueAtIndexPath(sections, -1, 0));
    EXPECT_FALSE(ArrayExtent::valueAtIndexPath(sections, 2, 0));
}

}
