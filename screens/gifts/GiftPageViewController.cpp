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
#include "screens/gifts/PagedList.h"

#include <algorithm>
#include <cmath>

namespace {

std::optional<pf::Color> hex(const char* text)
{
    return ColorFactory::colorWithHexRGB(text);
}

}

GiftPageViewController::GiftPageViewController()
    : m_list(PagedList::create({ .paging = { .moreAtStart = false, .loadsAtEnd = true }, .rowHeight = GiftListTableViewCell::kRowHeight }))
{
}

GiftPageViewController::~GiftPageViewController() = default;

std::shared_ptr<GiftPageViewController> GiftPageViewController::self()
{
    return std::static_pointer_cast<GiftPageViewController>(shared_from_this());
}

const LookAheadPager& GiftPageViewController::pager() const
{
    return m_list->pager();
}

std::shared_ptr<pf::TableView> GiftPageViewController::tableView() const
{
    return m_list->tableView();
}

std::shared_ptr<RefreshTableHeaderView> GiftPageViewController::refreshHeaderView() const
{
    return m_list->refreshHeaderView();
}

void GiftPageViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    view()->setBackgroundColor(hex("eeeef0"));
    m_giftListArray.clear();
    m_list->setDelegate(std::weak_ptr<PagedListDelegate>(self()));
    addTableView();
    assignViewHeight();
    requestGiftList();
}

void GiftPageViewController::addTableView()
{
    if (m_list->tableView())
        return;
    m_list->addTableView(view());
    addShufflingImages();
}

void GiftPageViewController::assignViewHeight()
{
    double ownerHeight = view()->frame().size.height + kTabBarHeight;
    if (auto owner = superViewController())
        ownerHeight = owner->view()->frame().size.height;
    // Below the tab bar down to the owner's bottom, and still there when the owner is resized
    // later (a tablet's popover shrinks the screens after they loaded).
    view()->setFrame({ 0, kTabBarHeight, 320, std::max(0.0, ownerHeight - kTabBarHeight) });
    view()->setAutoresizingMask(pf::Autoresizing::FlexibleHeight);
    m_list->tableView()->setFrame(view()->bounds());
}

void GiftPageViewController::viewWillAppear(bool)
{
    if (!pager().isLoadedFinished() && !m_loadingPromptView) {
        m_loadingPromptView = LoadingPromptView::create(view()->bounds());
        view()->addSubview(m_loadingPromptView);
    }
    m_list->fetchRefreshHeaderView();
    m_list->reloadData();
}

// --- requests ---

void GiftPageViewController::requestGiftList()
{
    m_list->requestPage();
}

std::optional<PagedListDelegate::Request> GiftPageViewController::pagedListRequestForPage(PagedList&, int page)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftList);
    if (!address)
        return std::nullopt;
    return Request { *address, NetworkParameterAssistant::parametersForGiftList(m_giftPageType, kPageSize, page), false };
}

void GiftPageViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    // The list's own requests go to the list; a failed carousel request leaves the carousel empty.
    if (requestor && requestor == m_shufflingImagesNetworkRequstor)
        requestShufflingImagesInfoFinished(data);
}

void GiftPageViewController::removeLoadingPrompt()
{
    if (m_loadingPromptView) {
        m_loadingPromptView->removeFromSuperview();
        m_loadingPromptView.reset();
    }
}

void GiftPageViewController::pagedListWillShowRows(PagedList&)
{
    removeLoadingPrompt();
}

// --- pull-to-refresh ---

void GiftPageViewController::reloadTableViewDataSource()
{
    m_list->reloadTableViewDataSource();
}

void GiftPageViewController::doneLoadingTableViewData()
{
    m_list->doneLoadingTableViewData();
}

// --- the list ---

void GiftPageViewController::pagedListPageArrived(PagedList&, const pf::Value& reply, bool replace)
{
    auto items = GiftListItemInfo::listFromDictionary(reply).value_or(GiftListItemInfo::List {});
    if (replace)
        m_giftListArray = std::move(items);
    else
        m_giftListArray.insert(m_giftListArray.end(), items.begin(), items.end());
}

bool GiftPageViewController::pagedListReplyHasItems(PagedList&, const pf::Value& reply)
{
    return GiftListItemInfo::listFromDictionary(reply).has_value();
}

int GiftPageViewController::pagedListNumberOfItems(PagedList&)
{
    return static_cast<int>(m_giftListArray.size());
}

std::shared_ptr<pf::TableViewCell> GiftPageViewController::pagedListCellForItem(PagedList&, pf::TableView& table, int index)
{
    GiftListTableViewCell::registerNib();
    auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftListTableViewCell>(table);
    cell->setSuperViewController(self());
    cell->refreshCell(*m_giftListArray.at(static_cast<size_t>(index)), index);
    cell->contentView()->setBackgroundColor(pf::Color::clear());
    return cell;
}

void GiftPageViewController::pagedListDidSelectItem(PagedList&, int index)
{
    pushDetailOfGift(m_giftListArray.at(static_cast<size_t>(index))->fid());
}

void GiftPageViewController::pushDetailOfGift(int fid)
{
    auto owner = superViewController();
    auto navigation = owner ? owner->navigationController() : navigationController();
    auto detail = GiftScreenFactory::giftDetailViewController(fid);
    if (navigation && detail)
        navigation->pushViewController(detail, true);
}

// --- the carousel's scroll reports ---

void GiftPageViewController::scrollViewDidScroll(pf::ScrollView& scrollView)
{
    if (m_customPageControlView && &scrollView == m_shufflingImages.get()) {
        m_customPageControlView->resetCustomStarsViewWithCurrentPageNumber(
            carouselPageForOffset(scrollView.contentOffset().x, scrollView.frame().size.width));
    }
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
        tableView()->setTableHeaderView(nullptr);
        return;
    }
    tableView()->setTableHeaderView(m_shufflingImagesContainerView);
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
