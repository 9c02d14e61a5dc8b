#include "ViewsTestSupport.h"

#include "core/views/AdaptedViewController.h"
#include "core/views/ColorFactory.h"
#include "core/views/ColorfulImage.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/ImageResizing.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/Window.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

using pf::Rect;

namespace {

class AppearanceTests : public ViewsTest { };

TEST_F(AppearanceTests, HexColoursReadThreePairsAndRefuseShortTexts)
{
    auto colour = ColorFactory::colorWithHexRGB("eeeef0");
    ASSERT_TRUE(colour);
    EXPECT_DOUBLE_EQ(colour->red, 238 / 255.0);
    EXPECT_DOUBLE_EQ(colour->green, 238 / 255.0);
    EXPECT_DOUBLE_EQ(colour->blue, 240 / 255.0);
    EXPECT_DOUBLE_EQ(colour->alpha, 1.0);

    EXPECT_EQ(ColorFactory::colorWithHexRGB("FFB701"), ColorFactory::colorWithHexRGB("ffb701"));
    EXPECT_EQ(ColorFactory::colorWithHexRGB("404348zz99"), ColorFactory::colorWithHexRGB("404348"));
    EXPECT_FALSE(ColorFactory::colorWithHexRGB("eeeef"));
    EXPECT_FALSE(ColorFactory::colorWithHexRGB(""));

    // A pair is read up to its first non-digit; a pair without any digit is 0, never garbage.
    auto partial = ColorFactory::colorWithHexRGB("fgzz0A");
    ASSERT_TRUE(partial);
    EXPECT_DOUBLE_EQ(partial->red, 15 / 255.0);
    EXPECT_DOUBLE_EQ(partial->green, 0.0);
    EXPECT_DOUBLE_EQ(partial->blue, 10 / 255.0);
}

TEST_F(AppearanceTests, SolidAndStretchedImagesHaveTheAskedSize)
{
    auto accent = *ColorFactory::colorWithHexRGB("ffb701");
    auto solid = ColorfulImage::imageWithColor(accent);
    ASSERT_TRUE(solid);
    EXPECT_EQ(solid->size(), (pf::Size { 1, 1 }));
    EXPECT_EQ(solid->colorAt(0, 0).hexString(), accent.hexString());

    auto stretched = ImageResizing::applyResizingWithRect(solid, { 320, 44 });
    ASSERT_TRUE(stretched);
    EXPECT_EQ(stretched->pixelWidth(), 320);
    EXPECT_EQ(stretched->pixelHeight(), 44);
    EXPECT_DOUBLE_EQ(stretched->scale(), 1.0);
    EXPECT_EQ(stretched->colorAt(319, 43).hexString(), accent.hexString());

    EXPECT_FALSE(ImageResizing::applyResizingWithRect(nullptr, { 10, 10 }));
    EXPECT_FALSE(ImageResizing::applyResizingWithRect(solid, { 0, 10 }));
}

// The parts of a bar button item made by the creator: container, image view, button.
struct BarButtonParts {
    std::shared_ptr<pf::View> container;
    std::shared_ptr<pf::ImageView> image;
    std::shared_ptr<pf::Button> button;
};

BarButtonParts partsOf(const std::shared_ptr<pf::BarButtonItem>& item)
{
    BarButtonParts parts;
    if (!item || !item->customView())
        return parts;
    parts.container = item->customView();
    for (const auto& sub : parts.container->subviews()) {
        if (auto button = std::dynamic_pointer_cast<pf::Button>(sub))
            parts.button = button;
        else if (auto image = std::dynamic_pointer_cast<pf::ImageView>(sub))
            parts.image = image;
    }
    return parts;
}

TEST_F(AppearanceTests, BackButtonPlacesTheImageAndSendsTheActionToTheScreen)
{
    auto screen = std::make_shared<AdaptedViewController>();
    int pops = 0;
    screen->onAction("backToPreviousView", [&](const auto&) { ++pops; });

    CustomControlApperanceCreator::assignCustomBackBarButtonItem(screen, "back.png",
        CustomControlApperanceCreator::backImageFrame(), "backToPreviousView");
    auto parts = partsOf(screen->navigationItem().leftBarButtonItem());
    ASSERT_TRUE(parts.container && parts.image && parts.button);
    parts.button->sendActionsForControlEvents(pf::ControlEvent::TouchUpInside);
    EXPECT_EQ(pops, 1);

    // The item does not keep the screen alive.
    std::weak_ptr<AdaptedViewController> weakScreen = screen;
    auto item = screen->navigationItem().leftBarButtonItem();
    screen.reset();
    EXPECT_TRUE(weakScreen.expired());
    partsOf(item).button->sendActionsForControlEvents(pf::ControlEvent::TouchUpInside);
    EXPECT_EQ(pops, 1);
}

TEST_F(AppearanceTests, TappingTheBackArrowInTheBarPopsThePushedScreen)
{
    auto root = std::make_shared<AdaptedViewController>();
    auto navigation = std::make_shared<pf::NavigationController>(root);
    auto window = std::make_shared<pf::Window>(Rect { 0, 0, 320, 480 });
    window->setRootViewController(navigation);
    window->makeKeyAndVisible();

    auto pushed = std::make_shared<AdaptedViewController>();
    std::weak_ptr<AdaptedViewController> weakPushed = pushed;
    pushed->onAction("backToPreviousView", [weakPushed](const auto&) {
        if (auto screen = weakPushed.lock())
            screen->navigationController()->popViewController(true);
    });
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(pushed, "back.png",
        CustomControlApperanceCreator::backImageFrame(), "backToPreviousView");
    navigation->pushViewController(pushed, false);

    pf::Driver driver;
    driver.settle();
    auto arrow = driver.find([](const pf::View& v) {
        auto image = dynamic_cast<const pf::ImageView*>(&v);
        return image && image->image() && image->image()->name() == "back.png";
    });
    ASSERT_TRUE(arrow);
    // A person taps where the arrow is; the transparent button over it takes the touch.
    auto tapped = driver.tap(arrow->superview());
    ASSERT_TRUE(tapped) << tapped.reason << "\n" << driver.dump();
    driver.advance(1);
    EXPECT_EQ(navigation->topViewController(), root);

    // The bar background helper stretches the picture to the bar.
    CustomControlApperanceCreator::setNavgationBarBackgroundImage("detail_row_odd.png", root);
    auto background = navigation->navigationBar()->backgroundImage();
    ASSERT_TRUE(background);
    EXPECT_EQ(background->size(), (pf::Size { 320, 44 }));
}

TEST_F(AppearanceTests, TabletsCentreTheBackArrowInItsButton)
{
    pf::Device::current().setIdiom(pf::Device::Idiom::Tablet);
    auto screen = std::make_shared<AdaptedViewController>();
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(screen, "back.png", { 2, 9, 10, 20 }, "pop");
    EXPECT_EQ(partsOf(screen->navigationItem().leftBarButtonItem()).image->frame(), Rect(20, 9, 10, 20));
}

}

TEST_F(AppearanceTests, EveryPictureTheScreensNameIsInTheResourcesAndDecodes)
{
    // The resources are assembled in the build tree, which lies in the source tree; the
    // screens' sources name their pictures as literal file names.
    namespace fs = std::filesystem;
    fs::path root = fs::path(pf::Bundle::main()->resourcePath());
    while (root.has_parent_path() && root != root.parent_path() && !fs::exists(root / "screens" / "CMakeLists.txt"))
        root = root.parent_path();
    ASSERT_TRUE(fs::is_directory(root / "screens")) << root;
    const std::regex pictureName("\"([A-Za-z0-9_-]+\\.(png|gif))\"");
    std::set<std::string> names;
    for (const char* folder : { "core", "screens", "app" }) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (entry.path().extension() != ".cpp")
                continue;
            std::ifstream in(entry.path());
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (std::sregex_iterator it(text.begin(), text.end(), pictureName), end; it != end; ++it)
                names.insert((*it)[1]);
        }
    }
    EXPECT_GE(names.size(), 10u);
    for (const auto& name : names) {
        auto path = pf::Bundle::main()->pathForResource(name);
        ASSERT_TRUE(path) << name << " is missing from the resources";
        auto data = pf::FileManager::read(*path);
        EXPECT_TRUE(data && pf::Image::decode(*data)) << name << " does not decode";
    }
}
