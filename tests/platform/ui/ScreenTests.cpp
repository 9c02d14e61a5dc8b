#include "UITestSupport.h"

#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/Window.h"

using namespace pf;

namespace {

// A cell laid out by a registered layout, as the app's lists do it.
class ItemCell : public TableViewCell {
public:
    std::shared_ptr<Label> title;
    std::shared_ptr<Button> action;

    static std::shared_ptr<ItemCell> dequeueOrLoad(TableView& table)
    {
        if (auto cell = std::dynamic_pointer_cast<ItemCell>(table.dequeueReusableCellWithIdentifier("ItemCell")))
            return cell;
        auto cell = Nib::instantiate("ItemCell").firstOfType<ItemCell>();
        cell->setReuseIdentifier("ItemCell");
        return cell;
    }

    static void registerLayout()
    {
        Nib::registerNib("ItemCell", [](NibLoader& nib) {
            auto cell = std::make_shared<ItemCell>();
            cell->setFrame({ 0, 0, 320, 60 });
            cell->title = nib.outlet("title", std::make_shared<Label>(Rect { 10, 10, 200, 20 }), cell);
            cell->action = nib.outlet("action", std::make_shared<Button>(ButtonType::Custom, Rect { 240, 10, 70, 40 }), cell);
            cell->contentView()->addSubview(cell->title);
            cell->contentView()->addSubview(cell->action);
            nib.addTopLevel(cell);
        });
    }
};

class ListScreen : public ViewController, public TableViewDataSource, public TableViewDelegate {
public:
    std::shared_ptr<TableView> table;
    std::vector<std::string> items { "Alpha", "Beta", "Gamma" };
    std::vector<std::string> log;

    void viewDidLoad() override
    {
        setTitle("Gifts");
        setEdgesForExtendedLayout(RectEdge::None);
        view()->setBackgroundColor(Color::rgb(238 / 255.0, 238 / 255.0, 240 / 255.0));
        table = std::make_shared<TableView>(view()->bounds());
        table->setAutoresizingMask(Autoresizing::FlexibleWidth | Autoresizing::FlexibleHeight);
        table->setSeparatorStyle(TableViewSeparatorStyle::None);
        auto self = std::static_pointer_cast<ListScreen>(sharedController());
        table->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
        table->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
        view()->addSubview(table);
        onAction("claim:", [this](const std::shared_ptr<View>& sender) { log.push_back("claim " + std::to_string(sender->tag())); });
    }

    int numberOfRowsInSection(TableView&, int) override { return static_cast<int>(items.size()); }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& t, const IndexPath& ip) override
    {
        auto cell = ItemCell::dequeueOrLoad(t);
        cell->title->setText(items[static_cast<size_t>(ip.row)]);
        cell->action->setTitle("领取");
        cell->action->setTag(ip.row);
        cell->action->removeAllActions();
        cell->action->addTarget(nullptr, "claim:", ControlEvent::TouchUpInside);
        cell->action->setEnabled(ip.row != 1);
        return cell;
    }
    double heightForRowAtIndexPath(TableView&, const IndexPath&) override { return 60; }
    void didSelectRowAtIndexPath(TableView& t, const IndexPath& ip) override
    {
        log.push_back("select " + items[static_cast<size_t>(ip.row)]);
        t.deselectRowAtIndexPath(ip, true);
    }
};

class ScreenTests : public UITest {
protected:
    void SetUp() override
    {
        ItemCell::registerLayout();
        screen = std::make_shared<ListScreen>();
        nav = std::make_shared<NavigationController>(screen);
        window = std::make_shared<Window>();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    void TearDown() override { Nib::unregister("ItemCell"); }

    std::shared_ptr<ListScreen> screen;
    std::shared_ptr<NavigationController> nav;
    std::shared_ptr<Window> window;
    Driver driver;
};

TEST_F(ScreenTests, AListScreenDumpsAsAPersonSeesIt)
{
    EXPECT_EQ(driver.dump(),
        "Window frame=(0,0,320,480) key\n"
        "  View frame=(0,0,320,480)\n"
        "    View frame=(0,64,320,416) bg=#EEEEF0\n"
        "      TableView frame=(0,0,320,416) separators=none content=(320,180)\n"
        "        ItemCell frame=(0,0,320,60)\n"
        "          Label frame=(10,10,200,20) text=\"Alpha\" outlet=title\n"
        "          Button frame=(240,10,70,40) title=\"领取\" outlet=action\n"
        "        ItemCell frame=(0,60,320,60)\n"
        "          Label frame=(10,10,200,20) text=\"Beta\" outlet=title\n"
        "          Button frame=(240,10,70,40) title=\"领取\" outlet=action tag=1 disabled\n"
        "        ItemCell frame=(0,120,320,60)\n"
        "          Label frame=(10,10,200,20) text=\"Gamma\" outlet=title\n"
        "          Button frame=(240,10,70,40) title=\"领取\" outlet=action tag=2\n"
        "    NavigationBar frame=(0,20,320,44)\n"
        "      Label frame=(142,12,36,20) text=\"Gifts\"\n");
}

TEST_F(ScreenTests, ButtonsInCellsSendUpTheChainAndDisabledOnesLeaveTheTapToTheRow)
{
    driver.settle();
    auto cells = screen->table->visibleCells();
    ASSERT_EQ(cells.size(), 3u);
    auto first = std::static_pointer_cast<ItemCell>(screen->table->cellForRowAtIndexPath({ 0, 0 }));
    auto second = std::static_pointer_cast<ItemCell>(screen->table->cellForRowAtIndexPath({ 0, 1 }));

    ASSERT_TRUE(driver.tap(first->action));
    EXPECT_EQ(screen->log, (std::vector<std::string> { "claim 0" }));

    // The disabled button passes the touch on: the row is selected (and deselected at once).
    ASSERT_TRUE(driver.tap(second->action));
    EXPECT_EQ(screen->log, (std::vector<std::string> { "claim 0", "select Beta" }));
    EXPECT_FALSE(screen->table->indexPathForSelectedRow().has_value());

    // A tap on the row's text selects the row.
    driver.tap(first->title);
    EXPECT_EQ(screen->log.back(), "select Alpha");
}

TEST_F(ScreenTests, ADragThatStartsOnAButtonScrollsAndCancelsIt)
{
    screen->items.assign(20, "Item");
    screen->table->reloadData();
    auto first = std::static_pointer_cast<ItemCell>(screen->table->cellForRowAtIndexPath({ 0, 0 }));
    driver.dragView(first->action, { 0, -120 });
    EXPECT_TRUE(screen->log.empty());
    EXPECT_FALSE(first->action->isHighlighted());
    EXPECT_GT(screen->table->contentOffset().y, 60);
}

TEST_F(ScreenTests, ATitleViewAndItemsAppearInTheDump)
{
    auto titleView = std::make_shared<Label>(Rect { 0, 0, 100, 30 });
    titleView->setText("我的礼包");
    screen->navigationItem().setTitleView(titleView);
    screen->navigationItem().setHidesBackButton(true);
    std::string dump = driver.dump();
    EXPECT_NE(dump.find("NavigationBar frame=(0,20,320,44)\n      Label frame=(110,7,100,30) text=\"我的礼包\""), std::string::npos);
    EXPECT_EQ(dump.find("Gifts"), std::string::npos);
}

}
