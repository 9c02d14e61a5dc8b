#include "ViewsTestSupport.h"

#include "core/views/TableViewCellAddition.h"
#include "core/views/ViewAddition.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewDataSource.h"

namespace {

class GiftRowCell : public pf::TableViewCell { };
class BannerView : public pf::View { };

namespace nested {
class NamespacedCell : public pf::TableViewCell { };
}

class NibLoadingTests : public ViewsTest {
protected:
    ~NibLoadingTests() override
    {
        for (const auto& name : m_registered)
            pf::Nib::unregister(name);
    }

    // Registers a layout whose top-level objects are made by `make`, counting the loads.
    void layout(const std::string& name, std::function<void(pf::NibLoader&)> make)
    {
        m_registered.push_back(name);
        pf::Nib::registerNib(name, [this, make](pf::NibLoader& loader) {
            ++loads;
            make(loader);
        });
    }

    int loads { 0 };

private:
    std::vector<std::string> m_registered;
};

TEST_F(NibLoadingTests, CellIsTheFirstObjectOfItsClassWithTheIdentifierSet)
{
    layout("GiftRowCell", [](pf::NibLoader& loader) {
        loader.addTopLevel(std::make_shared<pf::View>());
        loader.addTopLevel(std::make_shared<GiftRowCell>());
        loader.addTopLevel(std::make_shared<GiftRowCell>());
    });
    auto cell = TableViewCellAddition::loadFromNib<GiftRowCell>();
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->reuseIdentifier(), "GiftRowCell");
    EXPECT_EQ(TableViewCellAddition::loadFromNibWithReuseFlag<GiftRowCell>(false)->reuseIdentifier(), "");
    EXPECT_EQ(TableViewCellAddition::loadCellOfType<GiftRowCell>("GiftRowCell", "custom")->reuseIdentifier(), "custom");
    // Layout names are bare class names, without any namespace.
    EXPECT_EQ(TableViewCellAddition::cellID<nested::NamespacedCell>(), "NamespacedCell");
}

TEST_F(NibLoadingTests, LayoutWithoutTheClassRaisesWrongNibFormat)
{
    layout("GiftRowCell", [](pf::NibLoader& loader) { loader.addTopLevel(std::make_shared<pf::TableViewCell>()); });
    layout("BannerView", [](pf::NibLoader& loader) { loader.addTopLevel(std::make_shared<GiftRowCell>()); });
    layout("Empty", [](pf::NibLoader&) { });

    try {
        TableViewCellAddition::loadFromNib<GiftRowCell>();
        FAIL() << "expected WrongNibFormat";
    } catch (const WrongNibFormat& error) {
        EXPECT_EQ(error.name(), "WrongNibFormat");
        EXPECT_STREQ(error.what(), "Nib for 'GiftRowCell' must contain one TableViewCell, and its class must be 'GiftRowCell'");
    }
    try {
        ViewAddition::loadFromNIB<BannerView>();
        FAIL() << "expected WrongNibFormat";
    } catch (const WrongNibFormat& error) {
        EXPECT_STREQ(error.what(), "Nib for 'BannerView' must contain one View, and its class must be 'BannerView'");
    }
    EXPECT_THROW(ViewAddition::loadWithNibName("Empty"), WrongNibFormat);
    // Any view will do for a layout loaded by name.
    EXPECT_TRUE(ViewAddition::loadWithNibName("BannerView"));
    // A layout that is not there at all is the platform's error.
    EXPECT_THROW(ViewAddition::loadWithNibName("NoSuchLayout"), pf::NibError);
}

// A list of `rows` rows of 44 points whose cells come from GiftRowCell's layout.
class RowSource : public pf::TableViewDataSource {
public:
    int rows { 10 };
    std::vector<std::shared_ptr<GiftRowCell>> handedOut;

    int numberOfRowsInSection(pf::TableView&, int) override { return rows; }
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& table, const pf::IndexPath&) override
    {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftRowCell>(table);
        handedOut.push_back(cell);
        return cell;
    }
};

TEST_F(NibLoadingTests, TablesLoadANewCellOnlyWhenNoneIsFree)
{
    layout("GiftRowCell", [](pf::NibLoader& loader) { loader.addTopLevel(std::make_shared<GiftRowCell>()); });
    auto source = std::make_shared<RowSource>();
    auto table = std::make_shared<pf::TableView>(pf::Rect { 0, 0, 320, 88 });
    table->setDataSource(source);
    table->reloadData();
    table->layoutIfNeeded();
    ASSERT_EQ(source->handedOut.size(), 2u);
    EXPECT_EQ(loads, 2); // no free cell: each row loads the layout

    auto first = source->handedOut;
    table->setContentOffset({ 0, 88 * 2 });
    table->layoutIfNeeded();
    ASSERT_EQ(source->handedOut.size(), 4u);
    EXPECT_EQ(loads, 2); // the rows scrolled away handed their cells back
    for (size_t i = 2; i < 4; ++i)
        EXPECT_TRUE(source->handedOut[i] == first[0] || source->handedOut[i] == first[1]);
}

}
