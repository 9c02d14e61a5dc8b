#include "screens/mygifts/MyGiftObtainedViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "core/views/ColorFactory.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/PagingFooterCell.h"
#include "screens/gifts/RefreshTableHeaderView.h"
#include "screens/mygifts/MyGiftCodeViewController.h"
#include "screens/mygifts/MyGiftObtainedTableViewCell.h"

MyGiftObtainedViewController::MyGiftObtainedViewController()
{
    m_pager.startRequest = [this](int page) { return startMyGiftsRequest(page); };
    m_pager.pageArrived = [this](const pf::Value& reply, bool replace) {
        auto items = MyGiftInfo::listFromDictionary(reply).value_or(MyGiftInfo::List {});
        if (replace)
            m_giftListArray = std::move(items);
        else
            m_giftListArray.insert(m_giftListArray.end(), items.begin(), items.end());
    };
    m_pager.pageFailed = [this](const pf::Value&) { showRows(); };
    m_pager.probeHasItems = [](const pf::Value& reply) { return MyGiftInfo::listFromDictionary(reply).has_value(); };
    m_pager.probeArrived = [this] { showRows(); };
    m_pager.refreshFinished = [this] { doneLoadingTableViewData(); };
}

std::shared_ptr<MyGiftObtainedViewController> MyGiftObtainedViewController::self()
{
    return std::static_pointer_cast<MyGiftObtainedViewController>(shared_from_this());
}

bool MyGiftObtainedViewController::hasToken()
{
    auto token = LoginManager::sharedInstance()->getUserToken();
    return token && !token->empty();
}

void MyGiftObtainedViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    addTableView();
    assignViewHeight();
    requestMyGiftObtainedList();
}

void MyGiftObtainedViewController::addTableView()
{
    if (m_tableView)
        return;
    m_tableView = std::make_shared<pf::TableView>(view()->bounds());
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setDataSource(self());
    m_tableView->setDelegate(self());
    m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    view()->addSubview(m_tableView);
}

void MyGiftObtainedViewController::assignViewHeight()
{
    double ownerHeight = view()->frame().size.height + kTabBarHeight;
    if (auto owner = superViewController())
        ownerHeight = owner->view()->frame().size.height;
    view()->setFrame({ 0, kTabBarHeight, 320, ownerHeight - kTabBarHeight });
    m_tableView->setFrame(view()->bounds());
}

void MyGiftObtainedViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    fetchRefreshHeaderView();
    m_tableView->reloadData();
}

void MyGiftObtainedViewController::fetchRefreshHeaderView()
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

void MyGiftObtainedViewController::requestMyGiftObtainedList()
{
    // The request is signed with the token: without one there is nothing to ask.
    if (hasToken())
        m_pager.requestPage();
}

std::shared_ptr<NetworkRequestor> MyGiftObtainedViewController::startMyGiftsRequest(int page)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::MyGifts);
    if (!address || !hasToken())
        return nullptr;
    auto requestor = NetworkRequestor::create();
    requestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForMyGiftsWithCount(kPageSize, page),
        true, self());
    return requestor;
}

void MyGiftObtainedViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor,
    const pf::Bytes& data)
{
    m_pager.handleReply(requestor.get(), data);
}

void MyGiftObtainedViewController::showRows()
{
    if (m_tableView)
        m_tableView->reloadData();
}

// --- pull-to-refresh ---

void MyGiftObtainedViewController::reloadTableViewDataSource()
{
    if (!hasToken()) {
        doneLoadingTableViewData();
        return;
    }
    m_pager.refresh();
}

void MyGiftObtainedViewController::doneLoadingTableViewData()
{
    if (m_refreshHeaderView && m_tableView)
        m_refreshHeaderView->dataSourceDidFinishLoading(*m_tableView);
}

void MyGiftObtainedViewController::pullRefreshDidTriggerRefresh(pf::PullRefreshHeaderView&)
{
    reloadTableViewDataSource();
}

bool MyGiftObtainedViewController::pullRefreshDataSourceIsLoading(pf::PullRefreshHeaderView&)
{
    return m_pager.isReloading();
}

// --- table ---

int MyGiftObtainedViewController::numberOfRowsInSection(pf::TableView&, int)
{
    return static_cast<int>(m_giftListArray.size()) + 1;
}

std::shared_ptr<pf::TableViewCell> MyGiftObtainedViewController::cellForRowAtIndexPath(pf::TableView& tableView,
    const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_giftListArray.size()) {
        MyGiftObtainedTableViewCell::registerNib();
        auto cell = TableViewCellAddition::dequeOrCreateInTable<MyGiftObtainedTableViewCell>(tableView);
        cell->refreshCell(*m_giftListArray[static_cast<size_t>(indexPath.row)]);
        return cell;
    }
    return PagingFooterCell::create(m_pager.isMoreInfo());
}

double MyGiftObtainedViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return MyGiftObtainedTableViewCell::kRowHeight;
}

void MyGiftObtainedViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_giftListArray.size()) {
        const MyGiftInfo& info = *m_giftListArray[static_cast<size_t>(indexPath.row)];
        auto code = std::make_shared<MyGiftCodeViewController>();
        code->assignViewControllerInfo(info.title().text(), info.code().text());
        auto owner = superViewController();
        if (auto navigation = owner ? owner->navigationController() : navigationController())
            navigation->pushViewController(code, true);
        tableView.deselectRowAtIndexPath(indexPath, true);
        return;
    }
    if (hasToken())
        m_pager.footerTapped();
}

void MyGiftObtainedViewController::scrollViewDidScroll(pf::ScrollView& scrollView)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidScroll(scrollView);
}

void MyGiftObtainedViewController::scrollViewDidEndDragging(pf::ScrollView& scrollView, bool)
{
    if (m_refreshHeaderView && &scrollView == m_tableView.get())
        m_refreshHeaderView->scrollViewDidEndDragging(scrollView);
}
