#include "core/views/CustomControlApperanceCreator.h"

#include "core/views/ImageResizing.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/graphics/Image.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/ViewController.h"

namespace {

bool isSevenOrLater()
{
    return pf::Device::current().systemVersionFloat() >= 7.0;
}

std::shared_ptr<pf::BarButtonItem> makeBarButton(const std::shared_ptr<pf::ViewController>& controller,
    const std::string& imageName, pf::Rect imageFrame, const std::string& action)
{
    using C = CustomControlApperanceCreator;
    auto container = std::make_shared<pf::ImageView>(pf::Rect { 0, 0, C::kBarButtonWidth, C::kBarButtonHeight });
    container->setUserInteractionEnabled(true);

    auto imageView = std::make_shared<pf::ImageView>(imageFrame);
    imageView->setUserInteractionEnabled(false);
    imageView->setImage(C::bundleImage(imageName));
    container->addSubview(imageView);

    auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, container->bounds());
    button->addTarget(controller, action, pf::ControlEvent::TouchUpInside);
    container->addSubview(button);

    return std::make_shared<pf::BarButtonItem>(container);
}

}

void CustomControlApperanceCreator::assignCustomBackBarButtonItem(const std::shared_ptr<pf::ViewController>& controller,
    const std::string& imageName, pf::Rect imageFrame, const std::string& action)
{
    if (!controller)
        return;
    if (pf::Device::current().isTablet())
        imageFrame = { (kBarButtonWidth - imageFrame.width()) / 2, imageFrame.y(), imageFrame.width(), imageFrame.height() };
    controller->navigationItem().setLeftBarButtonItem(makeBarButton(controller, imageName, imageFrame, action));
}

void CustomControlApperanceCreator::assignCustomRightBarButtonItem(const std::shared_ptr<pf::ViewController>& controller,
    const std::string& imageName, pf::Rect, const std::string& action)
{
    if (!controller)
        return;
    pf::Rect frame = isSevenOrLater() ? pf::Rect { 30, 13, 19, 19 } : pf::Rect { 20, 13, 19, 19 };
    controller->navigationItem().setRightBarButtonItem(makeBarButton(controller, imageName, frame, action));
}

pf::Rect CustomControlApperanceCreator::backImageFrame()
{
    return isSevenOrLater() ? pf::Rect { 6, 13, 8, 16 } : pf::Rect { 16, 13, 8, 16 };
}

void CustomControlApperanceCreator::setNavgationBarBackgroundImage(const std::string& imageName,
    const std::shared_ptr<pf::ViewController>& controller)
{
    auto navigation = controller ? controller->navigationController() : nullptr;
    auto bar = navigation ? navigation->navigationBar() : nullptr;
    if (!bar)
        return;
    bar->setBackgroundImage(ImageResizing::applyResizingWithRect(bundleImage(imageName), { 320, 44 }));
}

void CustomControlApperanceCreator::assignCellBackground(const std::shared_ptr<pf::TableViewCell>& cell, long long row,
    bool isBottomLineNeeded, bool)
{
    if (!cell)
        return;
    pf::Rect bounds = cell->bounds();
    // The images are plain stripes, so stretching them whole looks the same as stretching
    // around a centre cap.
    auto background = std::make_shared<pf::ImageView>(bounds);
    background->setImage(bundleImage(row % 2 != 0 ? "detail_row_even.png" : "detail_row_odd.png"));
    background->setAlpha(0.3);
    if (isBottomLineNeeded) {
        auto line = std::make_shared<pf::ImageView>(pf::Rect { 0, bounds.height() - 1, bounds.width(), 1 });
        line->setImage(bundleImage("menu_list_row_bottom_line.png"));
        background->addSubview(line);
    }
    cell->setBackgroundView(background);
}

std::shared_ptr<pf::Image> CustomControlApperanceCreator::bundleImage(const std::string& name)
{
    auto bundle = pf::Bundle::main();
    if (!bundle)
        return nullptr;
    auto path = bundle->pathForResource(name);
    return path ? pf::Image::fromFile(*path) : nullptr;
}
