#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/records/GiftListItemInfo.h"
#include "core/records/ShufflingImageInfo.h"
#include "core/views/AdaptedViewController.h"
#include "platform/ui/ScrollViewDelegate.h"
#include "screens/gifts/LookAheadPager.h"
#include "screens/gifts/PagedListDelegate.h"

#include <memory>

class CustomPageControlView;
class PagedList;
class RefreshTableHeaderView;
class LoadingPromptView;
class NetworkRequestor;

namespace pf {
class Button;
class ImageView;
class ScrollView;
class TableView;
}

// One list tab of the gift category screen: the gifts of one category ("type" 0, 1 or 2),
// twenty a page with look-ahead paging, a footer row, pull-to-refresh back to page 1, and a
// tap on a row that opens the gift's detail screen. The first tab (type 0) also carries the
// image carousel as its table header: promotional images from "arc/lun" that the user swipes
// through, with page dots, each opening the gift it names.
//
// Rules:
// - The owner sets `giftPageType` and `superViewController`, asks for the view (which sends
//   the carousel request, on the first tab, then the first page request) and sends
//   `viewWillAppear` itself whenever the tab is shown.
// - Replies are told apart by the requestor that answers; one from a replaced requestor is
//   dropped.
// - The list (table, footer, refresh header, paging) is the shared `PagedList`; the tab gives
//   it the "ka/list" requests and the gift rows. Reaching the end of the list loads the next
//   page while more is offered.
// - The carousel's scroll reports move its page dots and nothing else; only the table's reach
//   the refresh header and the paging.
// - A loading view covers the tab from its first appearance until the first probe answers or
//   a request of the list fails; after a failure the list (with its footer) shows, so that a
//   pull or a tap on the footer tries again.
class GiftPageViewController : public AdaptedViewController,
                               public NetworkRequestorDelegate,
                               public pf::ScrollViewDelegate,
                               public PagedListDelegate {
public:
    static constexpr int kPageSize = LookAheadPager::kPageSize;
    static constexpr double kTabBarHeight = 37;
    static constexpr double kCarouselWidth = 320;
    static constexpr double kCarouselHeight = 126;
    static constexpr int kCarouselFirstTag = 100;

    GiftPageViewController();
    ~GiftPageViewController() override;

    int giftPageType() const { return m_giftPageType; }
    void setGiftPageType(int type) { m_giftPageType = type; }
    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> controller) { m_superViewController = std::move(controller); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // --- requests ---
    void requestGiftList();
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

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
    void pagedListWillShowRows(PagedList& list) override;

    // --- the carousel's scroll reports ---
    void scrollViewDidScroll(pf::ScrollView& scrollView) override;

    // --- carousel ---
    void fetchScrollImages(const ShufflingImageInfo::List& entries);
    void enterAdPage(const std::shared_ptr<pf::View>& sender);
    // The page a carousel offset shows: offset / width, rounded half away from zero.
    static int carouselPageForOffset(double offsetX, double width);

    // --- state, for the owner and for tests ---
    const LookAheadPager& pager() const;
    int currentPage() const { return pager().currentPage(); }
    bool isMoreInfo() const { return pager().isMoreInfo(); }
    bool isLoadedFinished() const { return pager().isLoadedFinished(); }
    bool isReloading() const { return pager().isReloading(); }
    const GiftListItemInfo::List& giftListArray() const { return m_giftListArray; }
    const ShufflingImageInfo::List& shufflingImagesInfo() const { return m_shufflingImagesInfo; }
    std::shared_ptr<pf::TableView> tableView() const;
    std::shared_ptr<RefreshTableHeaderView> refreshHeaderView() const;
    std::shared_ptr<LoadingPromptView> loadingPromptView() const { return m_loadingPromptView; }
    std::shared_ptr<pf::ScrollView> shufflingImages() const { return m_shufflingImages; }
    std::shared_ptr<pf::View> shufflingImagesContainerView() const { return m_shufflingImagesContainerView; }
    std::shared_ptr<CustomPageControlView> customPageControlView() const { return m_customPageControlView; }

private:
    std::shared_ptr<GiftPageViewController> self();
    std::shared_ptr<NetworkRequestor> startGiftListRequest(int page);
    void pushDetailOfGift(int fid);

    void addTableView();
    void assignViewHeight();
    void removeLoadingPrompt();

    void addShufflingImages();
    void requestShufflingImages();
    void requestShufflingImagesInfoFinished(const pf::Bytes& data);
    void addPageControlBackView();
    void fetchCustomPageControlView();

    int m_giftPageType { 0 };
    std::weak_ptr<pf::ViewController> m_superViewController;
    std::shared_ptr<PagedList> m_list;
    GiftListItemInfo::List m_giftListArray;
    std::shared_ptr<LoadingPromptView> m_loadingPromptView;

    std::shared_ptr<NetworkRequestor> m_shufflingImagesNetworkRequstor;
    ShufflingImageInfo::List m_shufflingImagesInfo;
    std::shared_ptr<pf::View> m_shufflingImagesContainerView;
    std::shared_ptr<pf::ScrollView> m_shufflingImages;
    std::shared_ptr<pf::ImageView> m_pageControlBackView;
    std::shared_ptr<pf::View> m_pageControlContainerView;
    std::shared_ptr<CustomPageControlView> m_customPageControlView;
};
