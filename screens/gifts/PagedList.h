#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "platform/kit/PullRefreshHeaderView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "screens/gifts/LookAheadPager.h"
#include "screens/gifts/PagedListDelegate.h"

#include <memory>

class RefreshTableHeaderView;

namespace pf {
class View;
}

// The paged list that the gift tabs, the search results and the obtained codes show: a table of
// the owner's items and a footer row, the pull-to-refresh header above it, and the look-ahead
// paging with its failures. The three screens differ only in what their delegate answers and
// in their options, so they cannot drift apart.
//
// Rules:
// - The list is the table's data source and delegate, the header's delegate and the delegate
//   of every page request it sends. Rows: the owner's items, then the footer (`PagingFooterCell`:
//   the portal's message while the pager holds its refusal, else the loading animation while
//   the pager offers more, else the end text). All rows have the option's height.
// - A tapped item row goes to the owner and is deselected; a tapped footer asks for the next
//   page whatever the pager says about more. A deceleration of the table that ends at its
//   bottom asks for it while more is offered (when the options load at the end).
// - Paging follows `LookAheadPager`. The rows are reloaded when a look-ahead answers and when a
//   page ends or fails, so new rows show only once the look-ahead has answered.
// - A refresh ends, and the header closes, as soon as its page answers, fails in transport, or
//   times out, or at once when the owner had nothing to send.
// - `reset` forgets the pages (the owner empties its items first) and shows the empty list.
// - The owner is held weakly; it owns the list.
class PagedList : public std::enable_shared_from_this<PagedList>,
                  public NetworkRequestorDelegate,
                  public pf::TableViewDataSource,
                  public pf::TableViewDelegate,
                  public pf::PullRefreshDelegate {
public:
    struct Options {
        LookAheadPager::Options paging;
        // Separator lines between rows (the platform's default) or none.
        bool separators { false };
        double rowHeight { 80 };
    };

    static std::shared_ptr<PagedList> create(Options options);
    ~PagedList() override;

    // The owning screen; set before its view loads.
    void setDelegate(std::weak_ptr<PagedListDelegate> owner) { m_owner = std::move(owner); }

    // --- views ---
    // Makes the table once: the bounds of `parent` and following its size, clear, added to
    // `parent`.
    void addTableView(const std::shared_ptr<pf::View>& parent);
    // Makes the header once (as tall as the table, just above its content) and refreshes its
    // date every time.
    void fetchRefreshHeaderView();
    void reloadData();
    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }
    std::shared_ptr<RefreshTableHeaderView> refreshHeaderView() const { return m_refreshHeaderView; }

    // --- paging ---
    void requestPage() { m_pager.requestPage(); }
    // Pull-to-refresh: page 1 again.
    void reloadTableViewDataSource() { m_pager.refresh(); }
    void doneLoadingTableViewData();
    void reset();
    const LookAheadPager& pager() const { return m_pager; }

    // --- requests ---
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;
    void networkRequestorDidFailWithError(const std::shared_ptr<NetworkRequestor>& requestor, const pf::UrlError& error) override;

    // --- table ---
    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void scrollViewDidScroll(pf::ScrollView& scrollView) override;
    void scrollViewDidEndDragging(pf::ScrollView& scrollView, bool willDecelerate) override;
    void scrollViewDidEndDecelerating(pf::ScrollView& scrollView) override;

    // --- pull-to-refresh ---
    void pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView& header) override;
    bool pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView& header) override;

    explicit PagedList(Options options);

private:
    std::shared_ptr<NetworkRequestor> startRequest(int page);
    int numberOfItems();
    void showRows();

    std::weak_ptr<PagedListDelegate> m_owner;
    Options m_options;
    LookAheadPager m_pager;
    std::shared_ptr<pf::TableView> m_tableView;
    std::shared_ptr<RefreshTableHeaderView> m_refreshHeaderView;
};
