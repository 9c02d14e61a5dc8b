#include "ViewsTestSupport.h"

#include "core/views/CategorySelectionControl.h"
#include "core/views/ColorFactory.h"
#include "core/views/HardPickingItems.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

#include <string>
#include <vector>

using pf::Rect;

namespace {

const pf::Color kAccent = *ColorFactory::colorWithHexRGB("ffb701");

// Remembers what it was told and which tabs were drawn selected at that moment.
class TabOwner : public HardPickingItemsDelegate {
public:
    std::weak_ptr<HardPickingItems> strip;
    std::vector<int> items;
    std::vector<std::vector<bool>> selectedWhenTold;

    void didSelectedItem(int item) override
    {
        items.push_back(item);
        std::vector<bool> drawn;
        if (auto s = strip.lock())
            for (const auto& tab : s->pickingItems())
                drawn.push_back(tab->isShownSelected());
        selectedWhenTold.push_back(drawn);
    }
};

std::vector<bool> selection(const HardPickingItems& strip)
{
    std::vector<bool> drawn;
    for (const auto& tab : strip.pickingItems())
        drawn.push_back(tab->isShownSelected());
    return drawn;
}

class TabStripTests : public ViewsTest {
protected:
    std::shared_ptr<HardPickingItems> showStrip(double height, const std::vector<std::string>& titles)
    {
        window = std::make_shared<pf::Window>(Rect { 0, 0, 320, 480 });
        window->makeKeyAndVisible();
        auto strip = std::make_shared<HardPickingItems>(Rect { 0, 0, 320, height });
        window->addSubview(strip);
        owner->strip = strip;
        strip->setHardPickingItemsDelegate(owner);
        strip->assignPickingItems(titles);
        driver.settle();
        return strip;
    }

    std::shared_ptr<pf::Window> window;
    std::shared_ptr<TabOwner> owner = std::make_shared<TabOwner>();
    pf::Driver driver;
};

TEST_F(TabStripTests, TabsShareTheWidthTheFirstIsSelectedAndTheLineIsMadeOnce)
{
    auto strip = showStrip(37, { "推荐", "独家", "最新" });
    const auto& tabs = strip->pickingItems();
    ASSERT_EQ(tabs.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(tabs[i]->frame().x(), 320.0 / 3 * i, 1e-9);
    EXPECT_EQ(selection(*strip), (std::vector<bool> { true, false, false }));
    ASSERT_TRUE(strip->bottomLine());
    EXPECT_EQ(strip->subviews().back(), strip->bottomLine());
    auto line = strip->bottomLine();
    strip->addBottomLine();
    EXPECT_EQ(strip->bottomLine(), line);
}

TEST_F(TabStripTests, TouchTellsTheOwnerFirstThenRedrawsTheTabs)
{
    auto strip = showStrip(37, { "推荐", "独家", "最新" });
    ASSERT_TRUE(driver.tapText("独家"));
    ASSERT_EQ(owner->items, (std::vector<int> { 11 }));
    // When told, the touched tab has drawn itself; the others are not redrawn yet.
    EXPECT_EQ(owner->selectedWhenTold[0], (std::vector<bool> { true, true, false }));
    EXPECT_EQ(selection(*strip), (std::vector<bool> { false, true, false }));

    // Touching the selected tab again tells the owner again.
    ASSERT_TRUE(driver.tapText("独家"));
    EXPECT_EQ(owner->items, (std::vector<int> { 11, 11 }));
    EXPECT_EQ(selection(*strip), (std::vector<bool> { false, true, false }));

    ASSERT_TRUE(driver.tapText("最新"));
    EXPECT_EQ(owner->items.back(), 12);
    EXPECT_EQ(selection(*strip), (std::vector<bool> { false, false, true }));
}

TEST_F(TabStripTests, WithoutAnOwnerTheTabsAreStillRedrawn)
{
    auto strip = showStrip(37, { "推荐", "独家", "最新" });
    owner.reset();
    ASSERT_TRUE(driver.tapText("最新"));
    EXPECT_EQ(selection(*strip), (std::vector<bool> { false, false, true }));
    // A value no tab carries leaves none selected.
    strip->didSelectedCategorySelectionControl(42);
    EXPECT_EQ(selection(*strip), (std::vector<bool> { false, false, false }));
}

TEST_F(TabStripTests, NewTitlesReplaceTheOldTabsAndNoTitlesLeaveNone)
{
    auto strip = showStrip(37, { "推荐", "独家", "最新" });
    strip->assignPickingItems({ "甲", "乙" });
    driver.settle();
    EXPECT_FALSE(driver.findByText("推荐"));
    ASSERT_TRUE(driver.tapText("乙"));
    EXPECT_EQ(owner->items, (std::vector<int> { 11 }));

    strip->assignPickingItems({});
    EXPECT_TRUE(strip->pickingItems().empty());
    EXPECT_TRUE(strip->bottomLine());
}

TEST_F(TabStripTests, TabLaysItselfOutOnceAndRedrawsForEitherState)
{
    auto tab = CategorySelectionControl::create({ 0, 0, 160, 40 }, "预订");
    EXPECT_FALSE(tab->isAdapted());
    tab->resetStatement(true);
    EXPECT_TRUE(tab->isAdapted());
    EXPECT_EQ(tab->titleLabel()->frame(), Rect(0, 10, 160, 20));
    EXPECT_EQ(tab->titleLabel()->textColor(), kAccent);
    EXPECT_EQ(tab->bottomPromptLine()->backgroundColor(), kAccent);

    tab->setFrame({ 0, 0, 100, 30 });
    tab->resetStatement(false);
    EXPECT_EQ(tab->titleLabel()->frame(), Rect(0, 10, 160, 20)); // not laid out again
    EXPECT_EQ(tab->titleLabel()->textColor(), pf::Color::white());
    EXPECT_EQ(tab->bottomPromptLine()->backgroundColor(), pf::Color::clear());
}

}
