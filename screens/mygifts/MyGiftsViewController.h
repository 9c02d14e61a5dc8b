#pragma once

#include "core/views/AdaptedViewController.h"
#include "core/views/HardPickingItemsDelegate.h"

#include <memory>
#include <string>
#include <vector>

class HardPickingItems;

// "我的礼包": the user's booked gifts ("已预约") and obtained codes ("已领取") under a 40-point
// two-tab bar, each a page whose view lies in this screen's view.
//
// Rules:
// - The tab bar and both pages are made at the first appearance and kept; adding the pages'
//   views loads them, so both start their requests at once. The booked list lies on top.
// - Every appearance, and every tab choice (also of the tab already shown), brings the chosen
//   page to the front and sends it viewWillAppear, which redraws its rows.
// - `currentPage` is the chosen tab's value, 10 + its position; it survives pushes and pops.
class MyGiftsViewController : public AdaptedViewController, public HardPickingItemsDelegate {
public:
    static constexpr double kTabBarHeight = 40;

    MyGiftsViewController();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void didSelectedItem(int item) override;
    void popViewController();

    int currentPage() const { return m_currentPage; }
    const std::vector<std::shared_ptr<pf::ViewController>>& myGiftControllers() const { return m_myGiftControllers; }
    std::shared_ptr<HardPickingItems> items() const { return m_items; }

private:
    std::shared_ptr<pf::ViewController> currentController() const;
    void addCategorySelectionControls();
    void addGiftPageViewControllers();

    std::vector<std::shared_ptr<pf::ViewController>> m_myGiftControllers;
    int m_currentPage { 10 };
    std::vector<std::string> m_itemsTitle;
    std::shared_ptr<HardPickingItems> m_items;
};
