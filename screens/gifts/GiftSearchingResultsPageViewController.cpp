#include "screens/gifts/GiftSearchingResultsPageViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/GiftSearchingResultTableViewCell.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/gifts/RefreshTableHeaderView.h"

GiftSearchingResultsPageViewController::GiftSearchingResultsPageViewController()
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
    m_pager.startRequest = [this](int page) { return startSearchRequest(page); };
    m_pager.pageArrived = [this](const pf::Value& reply, bool replace) {
        auto items = GiftSearchingResultItemInfo::listFromDictionary(reply).value_or(GiftSearchingResultItemInfo::List {});
        if (replace)
            m_searchingResults = std::move(items);
        else
            m_searchingResults.insert(m_searchingResults.end(), items.begin(), items.end());
    };
    m_pager.pageFailed = [this](const pf::Value& reply) {
        auto envelope = PortalReplyEnvelope::fromValue(reply);
        if (envelope.isSuccess() && envelope.body().isNull() && m_searchingResults.empty())
            showNoSearchingResultsPromptView();
        showRows();
    };
    m_pager.probeHasItems = [](const pf::Value& reply) { return GiftSearchingResultItemInfo::listFromDictionary(reply).has_value(); };
    m_pager.probeArrived = [this] { showRows(); };
    m_pager.refreshFinished = [this] { doneLoadingTableViewData(); };
}

std::shared_ptr<GiftSearchingResultsPageViewController> GiftSearchingResultsPageViewController::self()
{
    return std::static_pointer_cast<GiftSearchingResultsPageViewController>(shared_from_this());
}

void GiftSearchingResultsPageViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(self(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    // A title is plain text: the word shows as typed.
    setTitle("搜索“" + m_searchingWord + "”的结果");
    m_searchingResults.clear();
    requestGiftSearched();
}

void GiftSearchingResultsPageViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    addTableView();
    addNoSearchResultsPromptView();
    fetchRefreshHeaderView();
}

void GiftSearchingResultsPageViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

void GiftSearchingResultsPageViewController::addTableView()
{
    if (m_tableView)
        return;
    m_tableView = std::make_shared<pf::TableView>(view()->bounds());
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setDataSource(self());
    m_tableView->setDelegate(self());
    view()->addSubview(m_tableView);
}

std::string GiftSearchingResultsPageViewController::noResultsMarkup(const std::string& word)
{
    return "<font size=12>您搜索的\"</font><font size=15><b>" + pf::RichTextLabel::escape(word)
        + "</b></font><font size=12>\"暂无结果</font>";
}

void GiftSearchingResultsPageViewController::addNoSearchResultsPromptView()
{
    if (m_noSearchResultsPromptView)
        return;
    // A container of no size: its parts sit at the screen's own coordinates.
    m_noSearchResultsPromptView = std::make_shared<pf::View>();
    auto sigh = std::make_shared<pf::ImageView>(pf::Rect { 118, 80, 85, 85 });
    sigh->setImage(CustomControlApperanceCreator::bundleImage("sigh.png"));
    m_noSearchResultsPromptView->addSubview(sigh);
    m_noSearchResultsLabel = std::make_shared<pf::RichTextLabel>(pf::Rect { 0, 200, 320, 20 });
    m_noSearchResultsLabel->setTextAlignment(pf::TextAlignment::Center);
    m_noSearchResultsLabel->setText(noResultsMarkup(m_searchingWord));
    m_noSearchResultsPromptView->addSubview(m_noSearchResultsLabel);
    m_noSearchResultsPromptView->setHidden(true);
    view()->addSubview(m_noSearchResultsPromptView);
}

void GiftSearchingResultsPageViewController::fetchRefreshHeaderView()
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

void GiftSearchingResultsPageViewController::showNoSearchingResultsPromptView()
{
    if (!m_noSearchResultsPromptView || !m_tableView)
        return;
    m_noSearchResultsPromptView->setHidden(false);
    view()->bringSubviewToFront(m_noSearchResultsPromptView);
    m_tableView->setHidden(true);
}

// --- requests ---

void GiftSearchingResultsPageViewController::requestGiftSearched()
{
    m_pager.requestPage();
}

std::shared_ptr<NetworkRequestor> GiftSearchingResultsPageViewController::startSearchRequest(int page)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftSearch);
    if (!address)
        return nullptr;
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForGiftSearching(m_searchingWord, kPageSize, page), false, self());
    return requestor;
}

void GiftSearchingResultsPageViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor,
    const pf::Bytes& data)
{
    m_pager.handleReply(requestor.get(), data);
}

void GiftSearchingResultsPageViewController::showRows()
{
    if (m_tableView)
        m_tableView->reloadData();
}

// --- pull-to-refresh ---

void GiftSearchingResultsPageViewController::reloadTableViewDataSource()
{
    m_pager.refresh();
}

void GiftSearchingResultsPageViewController::doneLoadingTableViewData()
{
    if (m_refreshHeaderView && m_tableView)
        m_refreshHeaderView->dataSourceDidFinishLoading(*m_tableView);
}

void GiftSearchingResultsPageViewController::pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView&)
{
    reloadTableViewDataSource();
}

bool GiftSearchingResultsPageViewController::pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView&)
{
    return m_pager.isReloading();
}

// --- table ---

int GiftSearchingResultsPageViewController::numberOfRowsInSection(pf::TableView&, int)
{
    return static_cast<int>(m_searchingResults.size()) + 1;
}

std::shared_ptr<pf::TableViewCell> GiftSearchingResultsPageViewController::cellForRowAtIndexPath(pf::TableView& tableView,
    const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_searchingResults.size()) {
        GiftSearchingResultTableViewCell::registerNib();
        auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftSearchingResultTableViewCell>(tableView);
        cell->refreshCell(*m_searchingResults[static_cast<size_t>(indexPath.row)]);
        cell->contentView()->setBackgroundColor(pf::Color::clear());
        return cell;
    }
    return PagingFooterCell::create(m_pager.isMoreInfo());
}

double GiftSearchingResultsPageViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return GiftSearchingResultTableViewCell::kRowHeight;
}

void GiftSearchingResultsPageViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_searchingResults.size()) {
        auto detail = GiftScreenFactory::giftDetailViewController(m_searchingResults[static_cast<size_t>(indexPath.row)]->fid());
        if (auto navigation = navigationController(); navigation && detail)
            navigation->pushViewController(detail, true);
        tableView.deselectRowAtIndexPath(indexPath, true);
        return;
    }
    m_pager.footerTapped();
}

void GiftSearchingResultsPageViewController::scrollViewDidScroll(pf::ScrollView& scrollView)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidScroll(scrollView);
}

void GiftSearchingResultsPageViewController::scrollViewDidEndDragging(pf::ScrollView& scrollView, bool)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidEndDragging(scrollView);
}

void GiftSearchingResultsPageViewController::scrollViewDidEndDecelerating(pf::ScrollView& scrollView)
{
    if (&scrollView == m_tableView.get())
        m_pager.didEndDecelerating(scrollView);
}
