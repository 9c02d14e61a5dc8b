#include "screens/gifts/GiftCategoryViewController.h"

#include "core/views/ArrayExtent.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/HardPickingItems.h"
#include "platform/foundation/Device.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/View.h"
#include "screens/gifts/GiftPageViewController.h"
#include "screens/gifts/GiftScreenFactory.h"

void GiftCategoryViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle("Quorvane");
    fetchRightNavigationItem();
    m_currentPage = 10;
}

void GiftCategoryViewController::fetchRightNavigationItem()
{
    bool modern = pf::Device::current().systemVersionFloat() >= 7.0;
    pf::Rect imageFrame { modern ? 30.0 : 20.0, 13, 16, 17 };
    auto me = std::static_pointer_cast<GiftCategoryViewController>(shared_from_this());
    std::weak_ptr<GiftCategoryViewController> weakSelf = me;
    onAction("searchGift:", [weakSelf](const std::shared_ptr<pf::View>&) {
        if (auto strong = weakSelf.lock())
            strong->searchGift();
    });
    CustomControlApperanceCreator::assignCustomRightBarButtonItem(me, "search.png", imageFrame, "searchGift:");
}

void GiftCategoryViewController::searchGift()
{
    auto navigation = navigationController();
    auto search = GiftScreenFactory::giftSearchingPageViewController();
    if (navigation && search)
        navigation->pushViewController(search, true);
}

void GiftCategoryViewController::viewWillAppear(bool)
{
    if (!m_items)
        addCategorySelectionControls();
    if (!m_pagesBuilt)
        addGiftPageViewControllers();
    if (auto page = currentGiftPageViewController())
        page->viewWillAppear(true);
}

void GiftCategoryViewController::addCategorySelectionControls()
{
    m_itemsTitle = { "推荐", "独家", "最新" };
    m_items = std::make_shared<HardPickingItems>(pf::Rect { 0, 0, 320, kTabBarHeight });
    view()->addSubview(m_items);
    m_items->assignPickingItems(m_itemsTitle);
    m_items->setBackgroundColor(ColorFactory::colorWithHexRGB("404348"));
    m_items->setHardPickingItemsDelegate(std::static_pointer_cast<GiftCategoryViewController>(shared_from_this()));
}

void GiftCategoryViewController::addGiftPageViewControllers()
{
    m_pagesBuilt = true;
    m_giftPageViewControllers.clear();
    for (int type = 0; type < 3; ++type)
        addGiftListViewController(type);
    // Last to first, so that the first tab's view ends up on top.
    auto me = std::static_pointer_cast<pf::ViewController>(shared_from_this());
    for (auto it = m_giftPageViewControllers.rbegin(); it != m_giftPageViewControllers.rend(); ++it) {
        (*it)->setSuperViewController(me);
        view()->addSubview((*it)->view());
    }
}

void GiftCategoryViewController::addGiftListViewController(int type)
{
    auto page = std::make_shared<GiftPageViewController>();
    page->setGiftPageType(type);
    m_giftPageViewControllers.push_back(page);
}

std::shared_ptr<GiftPageViewController> GiftCategoryViewController::currentGiftPageViewController() const
{
    return ArrayExtent::valueAtIndex(m_giftPageViewControllers, m_currentPage - 10);
}

void GiftCategoryViewController::didSelectedItem(int item)
{
    m_currentPage = item;
    if (auto page = currentGiftPageViewController()) {
        view()->bringSubviewToFront(page->view());
        page->viewWillAppear(true);
    }
}
