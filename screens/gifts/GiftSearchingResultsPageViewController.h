#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/records/GiftSearchingResultItemInfo.h"
#include "core/views/AdaptedViewController.h"
#include "platform/kit/PullRefreshHeaderView.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "screens/gifts/LookAheadPager.h"

#include <memory>
#include <string>

class NetworkRequestor;
class RefreshTableHeaderView;

namespace pf {
class RichTextLabel;
class TableView;
}

// The gifts the portal finds for one word ("ka/search"), titled "搜索“WORD”的结果": twenty a
// page with look-ahead paging (more is assumed until the first probe answers; later probes
// decide it both ways), loading the next page at the end of the list or on a footer tap,
// pull-to-refresh back to page 1, and a row that opens the gift's detail screen.
//
// Rules:
// - The word is set before the view loads and never changes; it reaches the portal intact
//   (the requestor escapes form values) and the empty-result line escaped.
// - A page-1 reply whose "body" is null while no row is shown means the word has no result:
//   the sad face and "您搜索的"WORD"暂无结果" replace the list for the life of the screen.
//   A null "body" that answers a refresh with rows on screen leaves them.
// - Replies follow the look-ahead pager's rules.
class GiftSearchingResultsPageViewController : public AdaptedViewController,
                                               public NetworkRequestorDelegate,
                                               public pf::TableViewDataSource,
                                               public pf::TableViewDelegate,
                                               public pf::PullRefreshDelegate {
public:
    static constexpr int kPageSize = LookAheadPager::kPageSize;

    GiftSearchingResultsPageViewController();

    const std::string& searchingWord() const { return m_searchingWord; }
    void setSearchingWord(std::string word) { m_searchingWord = std::move(word); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void popViewController();

    void requestGiftSearched();
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;
    void showNoSearchingResultsPromptView();

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
    void scrollViewDidEndDecelerating(pf::ScrollView& scrollView) override;

    // The markup of the empty-result line for a word.
    static std::string noResultsMarkup(const std::string& word);

    // --- state, for tests ---
    const LookAheadPager& pager() const { return m_pager; }
    const GiftSearchingResultItemInfo::List& searchingResults() const { return m_searchingResults; }
    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }
    std::shared_ptr<pf::View> noSearchResultsPromptView() const { return m_noSearchResultsPromptView; }
    std::shared_ptr<pf::RichTextLabel> noSearchResultsLabel() const { return m_noSearchResultsLabel; }
    std::shared_ptr<RefreshTableHeaderView> refreshHeaderView() const { return m_refreshHeaderView; }

private:
    std::shared_ptr<GiftSearchingResultsPageViewController> self();
    std::shared_ptr<NetworkRequestor> startSearchRequest(int page);
    void showRows();
    void addTableView();
    void addNoSearchResultsPromptView();
    void fetchRefreshHeaderView();

    std::string m_searchingWord;
    LookAheadPager m_pager { LookAheadPager::Options { .moreAtStart = true, .loadsAtEnd = true } };
    GiftSearchingResultItemInfo::List m_searchingResults;
    std::shared_ptr<pf::TableView> m_tableView;
    std::shared_ptr<pf::View> m_noSearchResultsPromptView;
    std::shared_ptr<pf::RichTextLabel> m_noSearchResultsLabel;
    std::shared_ptr<RefreshTableHeaderView> m_refreshHeaderView;
};
