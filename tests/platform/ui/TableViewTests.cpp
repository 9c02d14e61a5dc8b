#include "UITestSupport.h"

#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

class CountingCell : public TableViewCell {
public:
    using TableViewCell::TableViewCell;
    int reuses { 0 };
    void prepareForReuse() override { ++reuses; }
};

// A list of rows with one section per entry of `rows`.
class List : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<int> rows { 30 };
    double height { 80 };
    int created { 0 };
    std::vector<std::string> log;
    double footerHeight { TableViewDelegate::AutomaticHeight };
    bool footerViews { false };

    int numberOfSectionsInTableView(TableView&) override { return static_cast<int>(rows.size()); }
    int numberOfRowsInSection(TableView&, int section) override { return rows[static_cast<size_t>(section)]; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = std::static_pointer_cast<CountingCell>(table.dequeueReusableCellWithIdentifier("Row"));
        if (!cell) {
            cell = std::make_shared<CountingCell>(TableViewCellStyle::Default, "Row");
            ++created;
        }
        cell->textLabel()->setText("row " + ip.description());
        return cell;
    }
    double heightForRowAtIndexPath(TableView&, const IndexPath&) override { return height; }
    double heightForFooterInSection(TableView&, int section) override { return footerHeight; }
    std::shared_ptr<View> viewForFooterInSection(TableView&, int) override { return footerViews ? std::make_shared<View>() : nullptr; }
    void didSelectRowAtIndexPath(TableView&, const IndexPath& ip) override { log.push_back("select " + ip.description()); }
    void didDeselectRowAtIndexPath(TableView&, const IndexPath& ip) override { log.push_back("deselect " + ip.description()); }
};

class TableViewTests : public UITest {
protected:
    void SetUp() override
    {
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
        table = std::make_shared<TableView>(Rect { 0, 0, 320, 400 });
        list = std::make_shared<List>();
        table->setDataSource(list);
        table->setDelegate(list);
        window->addSubview(table);
    }

    std::vector<std::string> visibleTexts()
    {
        std::vector<std::string> out;
        for (auto& c : table->visibleCells())
            out.push_back(c->textLabel()->text());
        return out;
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<TableView> table;
    std::shared_ptr<List> list;
    Driver driver;
};

TEST_F(TableViewTests, OnlyRowsInTheVisibleAreaHaveCellsAndScrolledOffOnesAreReused)
{
    table->reloadData();
    EXPECT_DOUBLE_EQ(table->contentSize().height, 30 * 80);
    // 400 points show rows 0..4 (the fifth one partly).
    EXPECT_EQ(visibleTexts(), (std::vector<std::string> { "row 0.0", "row 0.1", "row 0.2", "row 0.3", "row 0.4" }));
    EXPECT_EQ(list->created, 5);

    table->setContentOffset({ 0, 170 }); // rows 2..7
    EXPECT_EQ(table->indexPathsForVisibleRows().front(), (IndexPath { 0, 2 }));
    EXPECT_EQ(table->indexPathsForVisibleRows().back(), (IndexPath { 0, 7 }));
    EXPECT_EQ(list->created, 6); // two rows left, three came: one new cell was needed
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 1 }), nullptr);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 7 }), (Rect { 0, 560, 320, 80 }));
    EXPECT_EQ(table->cellForRowAtIndexPath({ 0, 7 })->frame(), (Rect { 0, 560, 320, 80 }));

    int reuses = 0;
    for (auto& c : table->visibleCells())
        reuses += std::static_pointer_cast<CountingCell>(c)->reuses;
    EXPECT_EQ(reuses, 2);

    // Reloading files every cell for reuse and asks again: no new cell is made.
    table->reloadData();
    EXPECT_EQ(list->created, 6);
    EXPECT_EQ(table->visibleCells().size(), 6u);
}

TEST_F(TableViewTests, SectionsFootersAndHeaderViewLayOutFromTheTop)
{
    auto header = std::make_shared<View>(Rect { 0, 0, 10, 50 });
    table->setTableHeaderView(header);
    list->rows = { 2, 3 };
    list->height = 40;
    list->footerHeight = 16;
    table->reloadData();
    EXPECT_EQ(header->frame(), (Rect { 0, 0, 320, 50 }));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }).y(), 50);
    EXPECT_EQ(table->rectForFooterInSection(0), (Rect { 0, 130, 320, 16 }));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 0 }).y(), 146);
    EXPECT_DOUBLE_EQ(table->contentSize().height, 50 + 80 + 16 + 120 + 16);
    EXPECT_EQ(table->indexPathForRowAtPoint({ 10, 147 }), (IndexPath { 1, 0 }));
    EXPECT_FALSE(table->indexPathForRowAtPoint({ 10, 135 }).has_value()); // a footer

    // Automatic footers: none without a view in the plain style, the default height with one.
    list->footerHeight = TableViewDelegate::AutomaticHeight;
    table->reloadData();
    EXPECT_EQ(table->rectForFooterInSection(0).height(), 0);
    list->footerViews = true;
    table->reloadData();
    EXPECT_EQ(table->rectForFooterInSection(0).height(), 22);
}

TEST_F(TableViewTests, TappingARowSelectsItAndReportsAndDeselectingAnimatesOnTheClock)
{
    table->reloadData();
    ASSERT_TRUE(driver.tapRow(table, { 0, 2 }));
    EXPECT_EQ(list->log, (std::vector<std::string> { "select 0.2" }));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 2 }));
    auto cell = table->cellForRowAtIndexPath({ 0, 2 });
    EXPECT_TRUE(cell->isSelected());
    auto background = cell->subviews().front();
    EXPECT_NE(background, cell->contentView()); // the selected background shows under the content

    // Another row: the first is deselected with a report.
    driver.tapRow(table, { 0, 3 });
    EXPECT_EQ(list->log, (std::vector<std::string> { "select 0.2", "deselect 0.2", "select 0.3" }));
    EXPECT_FALSE(cell->isSelected());

    // Deselecting in code reports nothing; animated, the highlight fades on the clock.
    auto selected = table->cellForRowAtIndexPath({ 0, 3 });
    table->deselectRowAtIndexPath({ 0, 3 }, true);
    EXPECT_FALSE(selected->isSelected());
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    EXPECT_EQ(selected->subviews().size(), 2u);
    driver.advance(0.31);
    EXPECT_EQ(selected->subviews().size(), 1u);
    EXPECT_EQ(list->log.size(), 3u);
}

TEST_F(TableViewTests, ReloadClearsTheSelectionAndRowsOffScreenCannotBeTapped)
{
    table->reloadData();
    driver.tapRow(table, { 0, 1 });
    table->reloadData();
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());
    for (auto& c : table->visibleCells())
        EXPECT_FALSE(c->isSelected());

    auto result = driver.tapRow(table, { 0, 20 });
    EXPECT_EQ(result.outcome, TouchResult::Outcome::NotVisible);
}

TEST_F(TableViewTests, DraggingARowScrollsInsteadOfSelecting)
{
    table->reloadData();
    auto cell = table->cellForRowAtIndexPath({ 0, 2 });
    driver.dragView(cell, { 0, -100 });
    EXPECT_TRUE(list->log.empty());
    EXPECT_FALSE(cell->isHighlighted());
    EXPECT_GT(table->contentOffset().y, 50);
}

TEST_F(TableViewTests, TheFirstLayoutLoadsTheDataAndCellsNotGivenAreReplaced)
{
    // Not reloaded by hand: the layout pass after it went on screen asks for the rows.
    driver.settle();
    EXPECT_EQ(table->visibleCells().size(), 5u);

    class Broken : public TableViewDataSource {
    public:
        int numberOfRowsInSection(TableView&, int) override { return 2; }
        std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, const IndexPath&) override { return nullptr; }
    };
    auto broken = std::make_shared<Broken>();
    table->setDataSource(broken);
    table->setDelegate(std::weak_ptr<TableViewDelegate>());
    table->reloadData();
    EXPECT_EQ(table->visibleCells().size(), 2u);
}

TEST_F(TableViewTests, ADataSourceThatReloadsWhileGivingACellIsServedAfterwards)
{
    class Reloading : public List {
    public:
        bool reloaded { false };
        std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
        {
            if (!reloaded) {
                reloaded = true;
                rows = { 2 };
                table.reloadData();
            }
            return List::cellForRowAtIndexPath(table, ip);
        }
    };
    auto reloading = std::make_shared<Reloading>();
    table->setDataSource(reloading);
    table->reloadData();
    EXPECT_EQ(table->numberOfRowsInSection(0), 2);
    EXPECT_EQ(table->visibleCells().size(), 2u);
}

}
