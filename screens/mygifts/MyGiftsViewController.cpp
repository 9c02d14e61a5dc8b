#include "screens/mygifts/MyGiftsViewController.h"

#include "core/views/ArrayExtent.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/HardPickingItems.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/View.h"
#include "screens/mygifts/MyGiftAppointmentViewController.h"
#include "screens/mygifts/MyGiftObtainedViewController.h"

MyGiftsViewController::MyGiftsViewController()
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
}

void MyGiftsViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle("我的礼包");
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(std::static_pointer_cast<pf::ViewController>(shared_from_this()), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    view()->setBackgroundColor(pf::Color::gray());
    m_currentPage = 10;
}

void MyGiftsViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

void MyGiftsViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    addCategorySelectionControls();
    addGiftPageViewControllers();
    if (auto page = currentController())
        page->viewWillAppear(true);
}

void MyGiftsViewController::addCategorySelectionControls()
{
    if (m_items)
        return;
    m_itemsTitle = { "已预约", "已领取" };
    m_items = std::make_shared<HardPickingItems>(pf::Rect { 0, 0, 320, kTabBarHeight });
    m_items->setBackgroundColor(ColorFactory::colorWithHexRGB("404348"));
    view()->addSubview(m_items);
    m_items->assignPickingItems(m_itemsTitle);
    m_items->setHardPickingItemsDelegate(std::static_pointer_cast<MyGiftsViewController>(shared_from_this()));
}

void MyGiftsViewController::addGiftPageViewControllers()
{
    if (!m_myGiftControllers.empty())
        return;
    auto me = std::static_pointer_cast<pf::ViewController>(shared_from_this());
    auto booked = std::make_shared<MyGiftAppointmentViewController>();
    booked->setSuperViewController(me);
    auto obtained = std::make_shared<MyGiftObtainedViewController>();
    obtained->setSuperViewController(me);
    m_myGiftControllers = { booked, obtained };
    // Last to first, so that the booked list's view ends up on top.
    for (auto it = m_myGiftControllers.rbegin(); it != m_myGiftControllers.rend(); ++it)
        view()->addSubview((*it)->view());
}

std::shared_ptr<pf::ViewController> MyGiftsViewController::currentController() const
{
    return ArrayExtent::valueAtIndex(m_myGiftControllers, m_currentPage - 10);
}

void MyGiftsViewController::didSelectedItem(int item)
{
    m_currentPage = item;
    if (auto page = currentController()) {
        view()->bringSubviewToFront(page->view());
        page->viewWillAppear(true);
    }
}
