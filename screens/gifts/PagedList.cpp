#include "screens/gifts/PagedList.h"

#include "core/NetworkRequestor.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/gifts/RefreshTableHeaderView.h"

std::shared_ptr<PagedList> PagedList::create(Options options)
{
    return std::make_shared<PagedList>(options);
}

PagedList::PagedList(Options options)
    : m_options(options)
    , m_pager(options.paging)
{
    // The pager lives inside the list, so these captures never outlive it.
    m_pager.startRequest = [this](int page) { return startRequest(page); };
    m_pager.pageArrived = [this](const pf::Value& reply, bool replace) {
        if (auto owner = m_owner.lock())
            owner->pagedListPageArrived(*this, reply, replace);
    };
    m_pager.pageFailed = [this](const pf::Value& reply) {
        if (auto owner = m_owner.lock())
            owner->pagedListPageFailed(*this, reply);
        showRows();
    };
    m_pager.probeHasItems = [this](const pf::Value& reply) {
        auto owner = m_owner.lock();
        return owner && owner->pagedListReplyHasItems(*this, reply);
    };
    m_pager.probeArrived = [this] { showRows(); };
    m_pager.refreshFinished = [this] { doneLoadingTableViewData(); };
    m_pager.requestFailed = [this] { showRows(); };
}

PagedList::~PagedList() = default;

// --- views ---

void PagedList::addTableView(const std::shared_ptr<pf::View>& parent)
{
    if (m_tableView || !parent)
        return;
    m_tableView = std::make_shared<pf::TableView>(parent->bounds());
    // The parent may still be resized (a tablet's popover shrinks the screens it holds after
    // they loaded): the table keeps filling it, so its bottom rows can be scrolled to.
    m_tableView->setAutoresizingMask(pf::Autoresizing::FlexibleWidth | pf::Autoresizing::FlexibleHeight);
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setDataSource(std::weak_ptr<pf::TableViewDataSource>(shared_from_this()));
    m_tableView->setDelegate(std::weak_ptr<pf::TableViewDelegate>(shared_from_this()));
    if (!m_options.separators)
        m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    parent->addSubview(m_tableView);
}

void PagedList::fetchRefreshHeaderView()
{
    if (!m_tableView)
        return;
    if (!m_refreshHeaderView) {
        double height = m_tableView->bounds().size.height;
        m_refreshHeaderView = RefreshTableHeaderView::create({ 0, -height, m_tableView->frame().size.width, height });
        m_refreshHeaderView->setDelegate(std::weak_ptr<pf::PullRefreshDelegate>(shared_from_this()));
        m_refreshHeaderView->setBackgroundColor(pf::Color::clear());
        m_tableView->addSubview(m_refreshHeaderView);
    }
    m_refreshHeaderView->refreshLastUpdatedDate();
}

void PagedList::reloadData()
{
    if (m_tableView)
        m_tableView->reloadData();
}

void PagedList::showRows()
{
    if (auto owner = m_owner.lock())
        owner->pagedListWillShowRows(*this);
    reloadData();
}

// --- paging ---

void PagedList::doneLoadingTableViewData()
{
    if (m_refreshHeaderView && m_tableView)
        m_refreshHeaderView->dataSourceDidFinishLoading(*m_tableView);
}

void PagedList::reset()
{
    m_pager.reset();
    reloadData();
}

std::shared_ptr<NetworkRequestor> PagedList::startRequest(int page)
{
    auto owner = m_owner.lock();
    auto request = owner ? owner->pagedListRequestForPage(*this, page) : std::nullopt;
    if (!request)
        return nullptr;
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(request->address, request->parameters, request->isUserTokenNeeded,
        std::weak_ptr<NetworkRequestorDelegate>(shared_from_this()));
    return requestor;
}

void PagedList::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    m_pager.handleReply(requestor.get(), data);
}

void PagedList::networkRequestorDidFailWithError(const std::shared_ptr<NetworkRequestor>& requestor, const pf::UrlError&)
{
    m_pager.handleFailure(requestor.get());
}

// --- table ---

int PagedList::numberOfItems()
{
    auto owner = m_owner.lock();
    return owner ? std::max(0, owner->pagedListNumberOfItems(*this)) : 0;
}

int PagedList::numberOfRowsInSection(pf::TableView&, int)
{
    return numberOfItems() + 1;
}

std::shared_ptr<pf::TableViewCell> PagedList::cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && indexPath.row < numberOfItems()) {
        if (auto owner = m_owner.lock()) {
            if (auto cell = owner->pagedListCellForItem(*this, tableView, indexPath.row))
                return cell;
        }
    }
    if (const auto& refusal = m_pager.refusal())
        return PagingFooterCell::createRefused(*refusal);
    return PagingFooterCell::create(m_pager.isMoreInfo());
}

double PagedList::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return m_options.rowHeight;
}

void PagedList::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && indexPath.row < numberOfItems()) {
        if (auto owner = m_owner.lock())
            owner->pagedListDidSelectItem(*this, indexPath.row);
        tableView.deselectRowAtIndexPath(indexPath, true);
        return;
    }
    m_pager.footerTapped();
}

void PagedList::scrollViewDidScroll(pf::ScrollView& scrollView)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidScroll(scrollView);
}

void PagedList::scrollViewDidEndDragging(pf::ScrollView& scrollView, bool)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidEndDragging(scrollView);
}

void PagedList::scrollViewDidEndDecelerating(pf::ScrollView& scrollView)
{
    if (&scrollView == m_tableView.get())
        m_pager.didEndDecelerating(scrollView);
}

// --- pull-to-refresh ---

void PagedList::pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView&)
{
    reloadTableViewDataSource();
}

bool PagedList::pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView&)
{
    return m_pager.isReloading();
}
