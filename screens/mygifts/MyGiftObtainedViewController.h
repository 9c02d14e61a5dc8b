#pragma once

#include "core/records/MyGiftInfo.h"
#include "core/views/AdaptedViewController.h"
#include "screens/gifts/LookAheadPager.h"
#include "screens/gifts/PagedListDelegate.h"

#include <memory>
#include <optional>
#include <string>

class PagedList;
class RefreshTableHeaderView;

namespace pf {
class TableView;
}

// The "已领取" page of the my-gifts screen: the codes the logged-in user has obtained
// ("ka/mine", with the user token), twenty a page with look-ahead paging. Further pages load
// only on a footer tap; pull-to-refresh goes back to page 1. A row opens the code screen on
// the my-gifts screen's navigation controller.
//
// Rules:
// - Nothing is sent while no token is stored: not at load, not on a footer tap (the footer
//   keeps its text), not on a pull (the header closes at once).
// - The list (table, footer, refresh header, paging) is the shared `PagedList`, which follows
//   the look-ahead pager's rules; "more" is off until the first probe answers.
// - The codes belong to the user whose token asked for them. "UserLogout" empties the list
//   (and drops any reply still on its way); a "UserLogin" whose token is not the one the list
//   was loaded with loads page 1 again. The same user's login again asks nothing.
// - Appearing (sent by the my-gifts screen) only redraws the rows.
class MyGiftObtainedViewController : public AdaptedViewController,
                                     public PagedListDelegate {
public:
    static constexpr int kPageSize = LookAheadPager::kPageSize;
    static constexpr double kTabBarHeight = 40;

    MyGiftObtainedViewController();
    ~MyGiftObtainedViewController() override;

    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> controller) { m_superViewController = std::move(controller); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void requestMyGiftObtainedList();

    // --- pull-to-refresh ---
    void reloadTableViewDataSource();
    void doneLoadingTableViewData();

    // --- the login state ---
    void loginFinished();
    void logoutFinished();

    // --- the list ---
    std::optional<Request> pagedListRequestForPage(PagedList& list, int page) override;
    void pagedListPageArrived(PagedList& list, const pf::Value& reply, bool replace) override;
    bool pagedListReplyHasItems(PagedList& list, const pf::Value& reply) override;
    int pagedListNumberOfItems(PagedList& list) override;
    std::shared_ptr<pf::TableViewCell> pagedListCellForItem(PagedList& list, pf::TableView& table, int index) override;
    void pagedListDidSelectItem(PagedList& list, int index) override;

    // --- state, for tests ---
    const LookAheadPager& pager() const;
    const MyGiftInfo::List& giftListArray() const { return m_giftListArray; }
    std::shared_ptr<pf::TableView> tableView() const;
    std::shared_ptr<RefreshTableHeaderView> refreshHeaderView() const;

private:
    std::shared_ptr<MyGiftObtainedViewController> self();
    static std::optional<std::string> storedToken();
    void observeLoginState();
    void assignViewHeight();

    std::weak_ptr<pf::ViewController> m_superViewController;
    std::shared_ptr<PagedList> m_list;
    MyGiftInfo::List m_giftListArray;
    // The token of the user whose codes the list holds or asks for; none before any request.
    std::optional<std::string> m_listToken;
};
