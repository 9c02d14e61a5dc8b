#include "core/records/GiftDetailInfo.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/UIEnvironment.h"
#include "screens/gifts/GiftDetailHeaderTableViewCell.h"
#include "screens/gifts/PriceReduceTypeLabel.h"

#include <gtest/gtest.h>

TEST(GiftDetailHeader, TheConditionKeepsItsTextOnOneLineAndTheFullPriceNeverLiesOverIt)
{
    pf::TaskEnvironment env;
    pf::UIEnvironment::reset();
    GiftDetailHeaderTableViewCell::registerNib();

    struct Case {
        int gold, points, fullGold, fullPoints;
        const char* condition;
        bool priceShown;
    };
    const Case cases[] = {
        { 20, 0, 40, 0, "领取资格：需消耗20金币", true },
        { 0, 15, 0, 25, "领取资格：15萌点", true },
        { 20, 10, 40, 20, "领取资格：需消耗20金币和10萌点", true },
        // Costs so long that the full price has no room beside them: it is left out.
        { 1000000, 1000000, 2000000, 0, "领取资格：需消耗1000000金币和1000000萌点", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.condition);
        auto cell = TableViewCellAddition::loadFromNib<GiftDetailHeaderTableViewCell>();
        ASSERT_TRUE(cell);
        GiftDetailInfo info;
        info.setStatus(1);
        info.setExtcredits1(c.gold);
        info.setExtcredits2(c.points);
        info.setExt1(c.fullGold);
        info.setExt2(c.fullPoints);
        cell->refreshCell(info);

        auto condition = cell->obtainCondition();
        auto price = cell->originalPrice();
        EXPECT_EQ(condition->plainText(), c.condition);
        EXPECT_EQ(condition->lineCount(), 1) << "width " << condition->frame().width();
        const double textEnd = condition->frame().x() + condition->sizeThatFits({ 0, 0 }).width;
        EXPECT_LE(textEnd, condition->frame().maxX());
        ASSERT_EQ(!price->isHidden(), c.priceShown);
        if (!c.priceShown)
            continue;
        EXPECT_GE(price->frame().x(), textEnd) << "the full price runs over the condition";
        if (c.gold == 0 || c.points == 0) { // one currency: the full price at its usual place
            EXPECT_EQ(price->frame().x(), GiftDetailHeaderTableViewCell::kOriginalPriceX);
        }
        EXPECT_LE(price->frame().maxX(), cell->contentView()->bounds().width() - condition->frame().x()) << "out of the row";
        EXPECT_EQ(price->lineView()->frame().width(), price->frame().width()) << "struck through as wide as its text";
    }
    pf::UIEnvironment::reset();
}
