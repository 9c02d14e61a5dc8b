#pragma once

#include "core/records/GiftSearchingResultItemInfo.h"
#include "core/views/AdaptedViewController.h"
#include "screens/gifts/LookAheadPager.h"
#include "screens/gifts/PagedListDelegate.h"

#include <memory>
#include <string>

class PagedList;
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
// - A page-1 reply whose "ret" is 0 and whose "body" is null while no row is shown means the
//   word has no result: the sad face and "您搜索的"WORD"暂无结果" replace the list for the life
//   of the screen. An error says nothing of the kind: the list and its footer stay, to ask
//   again. A null "body" that answers a refresh with rows on screen leaves them.
// - The list (table, footer, refresh header, paging) is the shared `PagedList`, which follows
//   the look-ahead pager's rules.
class GiftSearchingResultsPageViewController : public AdaptedViewController,
                                               public PagedListDelegate {
public:
    static constexpr int kPageSize = LookAheadPager::kPageSize;

    GiftSearchingResultsPageViewController();

    const std::string& searchingWord() const { return m_searchingWord; }
    void setSearchingWord(std::string word) { m_searchingWord = std::move(word); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void popViewController();

    void requestGiftSearched();
    void showNoSearchingResultsPromptView();

    // --- pull-to-refresh ---
    void reloadTableViewDataSource();
    void doneLoadingTableViewData();

    // --- the list ---
    std::optional<Request> pagedListRequestForPage(PagedList& list, int page) override;
    void pagedListPageArrived(PagedList& list, const pf::Value& reply, bool replace) override;
    bool pagedListReplyHasItems(PagedList& list, const pf::Value& reply) override;
    int pagedListNumberOfItems(PagedList& list) override;
    std::shared_ptr<pf::TableViewCell> pagedListCellForItem(PagedList& list, pf::TableView& table, int index) override;
    void pagedListDidSelectItem(PagedList& list, int index) override;
    void pagedListPageFailed(PagedList& list, const pf::Value& reply) override;

    // The markup of the empty-result line for a word.
    static std::string noResultsMarkup(const std::string& word);

    // --- state, for tests ---
    const LookAheadPager& pager() const;
    const GiftSearchingResultItemInfo::List& searchingResults() const { return m_searchingResults; }
    std::shared_ptr<pf::TableView> tableView() const;
    std::shared_ptr<pf::View> noSearchResultsPromptView() const { return m_noSearchResultsPromptView; }
    std::shared_ptr<pf::RichTextLabel> noSearchResultsLabel() const { return m_noSearchResultsLabel; }
    std::shared_ptr<RefreshTableHeaderView> refreshHeaderView() const;

private:
    std::shared_ptr<GiftSearchingResultsPageViewController> self();
    void addNoSearchResultsPromptView();

    std::string m_searchingWord;
    std::shared_ptr<PagedList> m_list;
    GiftSearchingResultItemInfo::List m_searchingResults;
    std::shared_ptr<pf::View> m_noSearchResultsPromptView;
    std::shared_ptr<pf::RichTextLabel> m_noSearchResultsLabel;
};
