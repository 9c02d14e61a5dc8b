#include "ViewsTestSupport.h"

#include "core/views/ArrayExtent.h"
#include "core/views/CellHeightCaculator.h"
#include "core/views/DateConverter.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numeric>
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

pf::Value row(const char* name, pf::Value score)
{
    pf::Value v;
    v.set("name", name);
    if (!score.isMissing())
        v.set("score", std::move(score));
    return v;
}

std::vector<std::string> names(const pf::Array& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(r["name"].stringValue());
    return out;
}

TEST_F(TextDateListTests, SortingByAKeyOrdersByValueAndKeepsTies)
{
    pf::Value nested;
    nested.set("name", "n");
    nested.set("game", pf::Dictionary { { "score", 0.5 } });
    const pf::Array rows { row("b", 10), row("a", 2), row("c", 10), row("none", pf::Value()), row("null", pf::Value::null()),
        row("text", "1"), row("half", 2.5), nested, pf::Value("not a dictionary") };

    struct Case {
        const char* key;
        bool ascending;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases {
        // No value first, then numbers (ties in list order), then texts.
        { "score", true, { "none", "null", "n", "", "a", "half", "b", "c", "text" } },
        { "score", false, { "text", "b", "c", "half", "a", "none", "null", "n", "" } },
        { "name", true, { "", "a", "b", "c", "half", "n", "none", "null", "text" } },
        { "game.score", false, { "n", "b", "a", "c", "none", "null", "text", "half", "" } },
        { "", true, names(rows) }, // an empty key changes nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.ascending ? " ascending" : " descending"));
        EXPECT_EQ(names(ArrayExtent::sortedArrayWithKeyAscending(rows, c.key, c.ascending)), c.expected);
        pf::Array inPlace = rows;
        ArrayExtent::sortWithKeyAscending(inPlace, c.key, c.ascending);
        EXPECT_EQ(names(inPlace), c.expected);
    }
    EXPECT_EQ(names(rows)[0], "b"); // the copy left the original alone

    // A number that is no number stays in a total order: before every other number.
    pf::Array withNaN { row("two", 2), row("nan", std::nan("")), row("one", 1), row("nan2", std::nan("")) };
    EXPECT_EQ(names(ArrayExtent::sortedArrayWithKeyAscending(withNaN, "score", true)), (std::vector<std::string> { "nan", "nan2", "one", "two" }));
}

TEST_F(TextDateListTests, ShufflingKeepsEveryElementAndFollowsTheLibraryGenerator)
{
    EXPECT_TRUE(ArrayExtent::randomizedArray(std::vector<int> {}).empty());
    EXPECT_EQ(ArrayExtent::randomizedArray(std::vector<int> { 7 }), std::vector<int> { 7 });

    std::vector<int> numbers(20);
    std::iota(numbers.begin(), numbers.end(), 0);
    std::srand(1);
    auto first = ArrayExtent::randomizedArray(numbers);
    auto second = ArrayExtent::randomizedArray(numbers);
    std::srand(1);
    EXPECT_EQ(ArrayExtent::randomizedArray(numbers), first); // the same seed, the same order
    EXPECT_NE(first, second);
    EXPECT_NE(first, numbers);
    for (auto shuffled : { first, second }) {
        std::sort(shuffled.begin(), shuffled.end());
        EXPECT_EQ(shuffled, numbers);
    }

    // Every position can receive the first element (the swap may pick the element itself).
    std::vector<bool> reached(4, false);
    for (int round = 0; round < 200; ++round) {
        auto shuffled = ArrayExtent::randomizedArray(std::vector<int> { 0, 1, 2, 3 });
        reached[std::find(shuffled.begin(), shuffled.end(), 0) - shuffled.begin()] = true;
    }
    EXPECT_EQ(reached, std::vector<bool>(4, true));
}

}
