#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/records/MyGiftInfo.h"
#include "core/views/AdaptedViewController.h"
#include "platform/kit/PullRefreshHeaderView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "screens/gifts/LookAheadPager.h"

#include <memory>

class NetworkRequestor;
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
// - Replies follow the look-ahead pager's rules; "more" is off until the first probe answers.
// - Appearing (sent by the my-gifts screen) only redraws the rows.
class MyGiftObtainedViewController : public AdaptedViewController,
                                     public NetworkRequestorDelegate,
                                     public pf::TableViewDataSource,
                                     public pf::TableViewDelegate,
                                     public pf::PullRefreshDelegate {
public:
    static constexpr int kPageSize = LookAheadPager::kPageSize;
    static constexpr double kTabBarHeight = 40;

    MyGiftObtainedViewController();

    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> controller) { m_superViewController = std::move(controller); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void requestMyGiftObtainedList();
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    // --- pull-to-refresh ---
    void reloadTableViewDataSource();
    void doneLoadingTableViewData();
    void pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView& header) override;
    bool pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView& header) override;

    // --- table ---
    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void scrollViewDidScroll(pf::ScrollView& scrollView) override;
    void scrollViewDidEndDragging(pf::ScrollView& scrollView, bool willDecelerate) override;

    // --- state, for tests ---
    const LookAheadPager& pager() const { return m_pager; }
    const MyGiftInfo::List& giftListArray() const { return m_giftListArray; }
    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }
    std::shared_ptr<RefreshTableHeaderView> refreshHeaderView() const { return m_refreshHeaderView; }

private:
    std::shared_ptr<MyGiftObtainedViewController> self();
    std::shared_ptr<NetworkRequestor> startMyGiftsRequest(int page);
    static bool hasToken();
    void showRows();
    void addTableView();
    void assignViewHeight();
    void fetchRefreshHeaderView();

    std::weak_ptr<pf::ViewController> m_superViewController;
    LookAheadPager m_pager { LookAheadPager::Options { .moreAtStart = false, .loadsAtEnd = false } };
    MyGiftInfo::List m_giftListArray;
    std::shared_ptr<pf::TableView> m_tableView;
    std::shared_ptr<RefreshTableHeaderView> m_refreshHeaderView;
};
