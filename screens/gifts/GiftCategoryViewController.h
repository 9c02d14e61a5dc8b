#pragma once

#include "core/views/AdaptedViewController.h"
#include "core/views/HardPickingItemsDelegate.h"

#include <memory>
#include <string>
#include <vector>

class GiftPageViewController;
class HardPickingItems;

// The first screen: under the title "Quorvane", a 37-point tab bar with the categories "推荐",
// "独家" and "最新" above the list of the chosen category, and a search button on the right of
// the navigation bar.
//
// Rules:
// - The tab bar and the three list tabs (types 0, 1, 2) are built at the first appearance and
//   kept for the life of the screen; adding the tabs' views loads them, so the three first
//   pages (and the carousel) are asked for at once.
// - Every appearance, and every tab choice (also of the tab already shown), brings the chosen
//   tab to the front and sends it viewWillAppear, which reloads its table.
// - `currentPage` is the chosen tab's value, 10 + its position; it survives pushes and pops.
class GiftCategoryViewController : public AdaptedViewController, public HardPickingItemsDelegate {
public:
    static constexpr double kTabBarHeight = 37;

    GiftCategoryViewController() = default;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void didSelectedItem(int item) override;
    void searchGift();

    int currentPage() const { return m_currentPage; }
    const std::vector<std::shared_ptr<GiftPageViewController>>& giftPageViewControllers() const { return m_giftPageViewControllers; }
    std::shared_ptr<GiftPageViewController> currentGiftPageViewController() const;
    std::shared_ptr<HardPickingItems> items() const { return m_items; }
    const std::vector<std::string>& itemsTitle() const { return m_itemsTitle; }

private:
    void fetchRightNavigationItem();
    void addCategorySelectionControls();
    void addGiftPageViewControllers();
    void addGiftListViewController(int type);

    std::vector<std::shared_ptr<GiftPageViewController>> m_giftPageViewControllers;
    bool m_pagesBuilt { false };
    int m_currentPage { 10 };
    std::vector<std::string> m_itemsTitle;
    std::shared_ptr<HardPickingItems> m_items;
};
