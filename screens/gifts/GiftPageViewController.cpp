#include "screens/gifts/GiftPageViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/views/ColorFactory.h"
#include "core/views/LoadingPromptView.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Json.h"
#include "platform/graphics/Image.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/CustomPageControlView.h"
#include "screens/gifts/RefreshTableHeaderView.h"
#include "screens/gifts/GiftListTableViewCell.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/PagingFooterCell.h"

#include <cmath>

namespace {

std::optional<pf::Color> hex(const char* text)
{
    return ColorFactory::colorWithHexRGB(text);
}

}

GiftPageViewController::GiftPageViewController()
{
    m_pager.startRequest = [this](int page) { return startGiftListRequest(page); };
    m_pager.pageArrived = [this](const pf::Value& reply, bool replace) {
        auto items = GiftListItemInfo::listFromDictionary(reply).value_or(GiftListItemInfo::List {});
        if (replace)
            m_giftListArray = std::move(items);
        else
            m_giftListArray.insert(m_giftListArray.end(), items.begin(), items.end());
    };
    m_pager.pageFailed = [this](const pf::Value&) { probeArrived(); };
    m_pager.probeHasItems = [](const pf::Value& reply) { return GiftListItemInfo::listFromDictionary(reply).has_value(); };
    m_pager.probeArrived = [this] { probeArrived(); };
    m_pager.refreshFinished = [this] { doneLoadingTableViewData(); };
    m_pager.requestFailed = [this] { listRequestFailed(); };
}

GiftPageViewController::~GiftPageViewController() = default;

std::shared_ptr<GiftPageViewController> GiftPageViewController::self()
{
    return std::static_pointer_cast<GiftPageViewController>(shared_from_this());
}

void GiftPageViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    view()->setBackgroundColor(hex("eeeef0"));
    m_giftListArray.clear();
    addTableView();
    assignViewHeight();
    requestGiftList();
}

void GiftPageViewController::addTableView()
{
    if (m_tableView)
        return;
    m_tableView = std::make_shared<pf::TableView>(view()->bounds());
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setDataSource(self());
    m_tableView->setDelegate(self());
    m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    view()->addSubview(m_tableView);
    addShufflingImages();
}

void GiftPageViewController::assignViewHeight()
{
    double ownerHeight = view()->frame().size.height + kTabBarHeight;
    if (auto owner = superViewController())
        ownerHeight = owner->view()->frame().size.height;
    view()->setFrame({ 0, kTabBarHeight, 320, ownerHeight - kTabBarHeight });
    m_tableView->setFrame(view()->bounds());
}

void GiftPageViewController::viewWillAppear(bool animated)
{
    if (!m_pager.isLoadedFinished() && !m_listRequestFailed && !m_loadingPromptView) {
        m_loadingPromptView = LoadingPromptView::create(view()->bounds());
        view()->addSubview(m_loadingPromptView);
    }
    fetchRefreshHeaderView();
    m_tableView->reloadData();
}

void GiftPageViewController::fetchRefreshHeaderView()
{
    if (!m_refreshHeaderView) {
        double height = m_tableView->bounds().size.height;
        m_refreshHeaderView = RefreshTableHeaderView::create({ 0, -height, view()->frame().size.width, height });
        m_refreshHeaderView->setDelegate(self());
        m_refreshHeaderView->setBackgroundColor(pf::Color::clear());
        m_tableView->addSubview(m_refreshHeaderView);
    }
    m_refreshHeaderView->refreshLastUpdatedDate();
}

// --- requests ---

void GiftPageViewController::requestGiftList()
{
    m_pager.requestPage();
}

std::shared_ptr<NetworkRequestor> GiftPageViewController::startGiftListRequest(int page)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftList);
    if (!address)
        return nullptr;
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForGiftList(m_giftPageType, kPageSize, page), false, self());
    return requestor;
}

void GiftPageViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (m_pager.handleReply(requestor.get(), data))
        return;
    if (requestor && requestor == m_shufflingImagesNetworkRequstor)
        requestShufflingImagesInfoFinished(data);
}

void GiftPageViewController::networkRequestorDidFailWithError(const std::shared_ptr<NetworkRequestor>& requestor, const pf::UrlError&)
{
    m_pager.handleFailure(requestor.get()); // a failed carousel request leaves the carousel empty
}

void GiftPageViewController::removeLoadingPrompt()
{
    if (m_loadingPromptView) {
        m_loadingPromptView->removeFromSuperview();
        m_loadingPromptView.reset();
    }
}

void GiftPageViewController::probeArrived()
{
    removeLoadingPrompt();
    m_tableView->reloadData();
}

void GiftPageViewController::listRequestFailed()
{
    m_listRequestFailed = true;
    removeLoadingPrompt();
    m_tableView->reloadData();
}

// --- pull-to-refresh ---

void GiftPageViewController::reloadTableViewDataSource()
{
    m_pager.refresh();
}

void GiftPageViewController::doneLoadingTableViewData()
{
    if (m_refreshHeaderView)
        m_refreshHeaderView->dataSourceDidFinishLoading(*m_tableView);
}

void GiftPageViewController::pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView&)
{
    reloadTableViewDataSource();
}

bool GiftPageViewController::pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView&)
{
    return m_pager.isReloading();
}

// --- table ---

int GiftPageViewController::numberOfRowsInSection(pf::TableView&, int)
{
    return static_cast<int>(m_giftListArray.size()) + 1;
}

std::shared_ptr<pf::TableViewCell> GiftPageViewController::cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_giftListArray.size()) {
        GiftListTableViewCell::registerNib();
        auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftListTableViewCell>(tableView);
        cell->setSuperViewController(self());
        cell->refreshCell(*m_giftListArray[static_cast<size_t>(indexPath.row)], indexPath.row);
        cell->contentView()->setBackgroundColor(pf::Color::clear());
        return cell;
    }
    return PagingFooterCell::create(m_pager.isMoreInfo());
}

double GiftPageViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return GiftListTableViewCell::kRowHeight;
}

void GiftPageViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_giftListArray.size()) {
        pushDetailOfGift(m_giftListArray[static_cast<size_t>(indexPath.row)]->fid());
        tableView.deselectRowAtIndexPath(indexPath, true);
        return;
    }
    m_pager.footerTapped();
}

void GiftPageViewController::pushDetailOfGift(int fid)
{
    auto owner = superViewController();
    auto navigation = owner ? owner->navigationController() : navigationController();
    auto detail = GiftScreenFactory::giftDetailViewController(fid);
    if (navigation && detail)
        navigation->pushViewController(detail, true);
}

// --- scroll reports ---

void GiftPageViewController::scrollViewDidScroll(pf::ScrollView& scrollView)
{
    if (m_shufflingImages && &scrollView == m_shufflingImages.get()) {
        if (m_customPageControlView) {
            m_customPageControlView->resetCustomStarsViewWithCurrentPageNumber(
                carouselPageForOffset(scrollView.contentOffset().x, scrollView.frame().size.width));
        }
        return;
    }
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidScroll(scrollView);
}

void GiftPageViewController::scrollViewDidEndDragging(pf::ScrollView& scrollView, bool)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidEndDragging(scrollView);
}

void GiftPageViewController::scrollViewDidEndDecelerating(pf::ScrollView& scrollView)
{
    // The carousel decelerates too; only the list itself may page the list.
    if (&scrollView == m_tableView.get())
        m_pager.didEndDecelerating(scrollView);
}

// --- carousel ---

int GiftPageViewController::carouselPageForOffset(double offsetX, double width)
{
    if (width <= 0)
        return 0;
    return static_cast<int>(std::lround(offsetX / width));
}

void GiftPageViewController::addShufflingImages()
{
    if (m_giftPageType != 0)
        return;
    m_shufflingImagesContainerView = std::make_shared<pf::View>(pf::Rect { 0, 0, kCarouselWidth, kCarouselHeight });
    m_shufflingImages = std::make_shared<pf::ScrollView>(pf::Rect { 0, 0, kCarouselWidth, kCarouselHeight });
    m_shufflingImages->setPagingEnabled(true);
    m_shufflingImages->setShowsHorizontalScrollIndicator(false);
    m_shufflingImages->setDelegate(self());
    m_shufflingImagesContainerView->addSubview(m_shufflingImages);
    requestShufflingImages();
}

void GiftPageViewController::requestShufflingImages()
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::ShufflingImages);
    if (!address)
        return;
    m_shufflingImagesNetworkRequstor = NetworkRequestor::create();
    m_shufflingImagesNetworkRequstor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForShufflingImages("ka"), false, self());
}

void GiftPageViewController::requestShufflingImagesInfoFinished(const pf::Bytes& data)
{
    pf::Value reply = pf::Json::parse(data).value_or(pf::Value());
    m_shufflingImagesInfo = ShufflingImageInfo::listFromDictionary(reply).value_or(ShufflingImageInfo::List {});
    fetchScrollImages(m_shufflingImagesInfo);
}

void GiftPageViewController::fetchScrollImages(const ShufflingImageInfo::List& entries)
{
    if (entries.empty() || !m_shufflingImages) {
        m_tableView->setTableHeaderView(nullptr);
        return;
    }
    m_tableView->setTableHeaderView(m_shufflingImagesContainerView);
    for (size_t i = 0; i < entries.size(); ++i) {
        auto page = std::make_shared<pf::ImageView>(pf::Rect { kCarouselWidth * static_cast<double>(i), 0, kCarouselWidth, kCarouselHeight });
        page->setUserInteractionEnabled(true);
        pf::ImageViewLoader::setImageWithURL(page, entries[i]->litpic().text());
        auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, m_shufflingImages->bounds());
        button->setBackgroundColor(pf::Color::clear());
        button->setTag(kCarouselFirstTag + static_cast<int>(i));
        std::weak_ptr<GiftPageViewController> weakSelf = self();
        button->addAction("enterAdPage:", [weakSelf](const std::shared_ptr<pf::Control>& sender) {
            if (auto strong = weakSelf.lock())
                strong->enterAdPage(sender);
        }, pf::ControlEvent::TouchUpInside);
        page->addSubview(button);
        m_shufflingImages->addSubview(page);
    }
    m_shufflingImages->setContentSize({ kCarouselWidth * static_cast<double>(entries.size()), kCarouselHeight });
    m_shufflingImages->setContentOffset({ 0, 0 });
    addPageControlBackView();
    fetchCustomPageControlView();
}

void GiftPageViewController::addPageControlBackView()
{
    auto path = pf::Bundle::main()->pathForResource("slide_back_view.png");
    m_pageControlBackView = std::make_shared<pf::ImageView>(pf::Rect { 112, 100, 96, 18 });
    m_pageControlBackView->setImage(path ? pf::Image::fromFile(*path) : nullptr);
    m_shufflingImagesContainerView->addSubview(m_pageControlBackView);
}

void GiftPageViewController::fetchCustomPageControlView()
{
    if (!m_pageControlContainerView)
        m_pageControlContainerView = std::make_shared<pf::View>(pf::Rect { 0, 96, 320, 18 });
    m_shufflingImagesContainerView->addSubview(m_pageControlContainerView);
    if (!m_customPageControlView) {
        m_customPageControlView = CustomPageControlView::customPageControlViewWithTotalNumber(static_cast<int>(m_shufflingImagesInfo.size()));
        m_customPageControlView->setBackgroundColor(pf::Color::clear());
        m_pageControlContainerView->addSubview(m_customPageControlView);
    }
    m_customPageControlView->resetCustomStarsViewWithCurrentPageNumber(0);
}

void GiftPageViewController::enterAdPage(const std::shared_ptr<pf::View>& sender)
{
    if (!sender)
        return;
    size_t index = static_cast<size_t>(sender->tag() - kCarouselFirstTag);
    if (sender->tag() < kCarouselFirstTag || index >= m_shufflingImagesInfo.size())
        return;
    pushDetailOfGift(m_shufflingImagesInfo[index]->arcid());
}
