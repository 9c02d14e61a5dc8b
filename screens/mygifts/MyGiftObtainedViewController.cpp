#include "screens/mygifts/MyGiftObtainedViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/managers/LoginManager.h"
#include "core/views/ColorFactory.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/gifts/PagedList.h"
#include "screens/mygifts/MyGiftCodeViewController.h"
#include "screens/mygifts/MyGiftObtainedTableViewCell.h"

MyGiftObtainedViewController::MyGiftObtainedViewController()
    : m_list(PagedList::create({ .paging = { .moreAtStart = false, .loadsAtEnd = false }, .rowHeight = MyGiftObtainedTableViewCell::kRowHeight }))
{
}

MyGiftObtainedViewController::~MyGiftObtainedViewController()
{
    pf::NotificationCenter::defaultCenter().removeObserver(this);
}

std::shared_ptr<MyGiftObtainedViewController> MyGiftObtainedViewController::self()
{
    return std::static_pointer_cast<MyGiftObtainedViewController>(shared_from_this());
}

const LookAheadPager& MyGiftObtainedViewController::pager() const
{
    return m_list->pager();
}

std::shared_ptr<pf::TableView> MyGiftObtainedViewController::tableView() const
{
    return m_list->tableView();
}

std::shared_ptr<RefreshTableHeaderView> MyGiftObtainedViewController::refreshHeaderView() const
{
    return m_list->refreshHeaderView();
}

std::optional<std::string> MyGiftObtainedViewController::storedToken()
{
    auto token = LoginManager::sharedInstance()->getUserToken();
    if (!token || token->empty())
        return std::nullopt;
    return token;
}

void MyGiftObtainedViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    m_list->setDelegate(std::weak_ptr<PagedListDelegate>(self()));
    m_list->addTableView(view());
    assignViewHeight();
    observeLoginState();
    requestMyGiftObtainedList();
}

void MyGiftObtainedViewController::observeLoginState()
{
    auto& center = pf::NotificationCenter::defaultCenter();
    std::weak_ptr<MyGiftObtainedViewController> weak = self();
    center.addObserver(weak, LoginManager::kUserLoginNotification, [weak](const pf::Notification&) {
        if (auto strong = weak.lock())
            strong->loginFinished();
    });
    center.addObserver(weak, LoginManager::kUserLogoutNotification, [weak](const pf::Notification&) {
        if (auto strong = weak.lock())
            strong->logoutFinished();
    });
}

void MyGiftObtainedViewController::assignViewHeight()
{
    double ownerHeight = view()->frame().size.height + kTabBarHeight;
    if (auto owner = superViewController())
        ownerHeight = owner->view()->frame().size.height;
    view()->setFrame({ 0, kTabBarHeight, 320, ownerHeight - kTabBarHeight });
    m_list->tableView()->setFrame(view()->bounds());
}

void MyGiftObtainedViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    m_list->fetchRefreshHeaderView();
    m_list->reloadData();
}

// --- requests ---

void MyGiftObtainedViewController::requestMyGiftObtainedList()
{
    m_list->requestPage();
}

std::optional<PagedListDelegate::Request> MyGiftObtainedViewController::pagedListRequestForPage(PagedList&, int page)
{
    // The request is signed with the token: without one there is nothing to ask.
    auto token = storedToken();
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::MyGifts);
    if (!address || !token)
        return std::nullopt;
    m_listToken = token;
    return Request { *address, NetworkParameterAssistant::parametersForMyGiftsWithCount(kPageSize, page), true };
}

// --- pull-to-refresh ---

void MyGiftObtainedViewController::reloadTableViewDataSource()
{
    m_list->reloadTableViewDataSource();
}

void MyGiftObtainedViewController::doneLoadingTableViewData()
{
    m_list->doneLoadingTableViewData();
}

// --- the login state ---

void MyGiftObtainedViewController::logoutFinished()
{
    // Nothing of the user who left may stay on screen, nor arrive later.
    m_giftListArray.clear();
    m_listToken.reset();
    m_list->reset();
}

void MyGiftObtainedViewController::loginFinished()
{
    auto token = storedToken();
    if (!token || token == m_listToken)
        return;
    m_giftListArray.clear();
    m_list->reset();
    m_list->requestPage();
}

// --- the list ---

void MyGiftObtainedViewController::pagedListPageArrived(PagedList&, const pf::Value& reply, bool replace)
{
    auto items = MyGiftInfo::listFromDictionary(reply).value_or(MyGiftInfo::List {});
    if (replace)
        m_giftListArray = std::move(items);
    else
        m_giftListArray.insert(m_giftListArray.end(), items.begin(), items.end());
}

bool MyGiftObtainedViewController::pagedListReplyHasItems(PagedList&, const pf::Value& reply)
{
    return MyGiftInfo::listFromDictionary(reply).has_value();
}

int MyGiftObtainedViewController::pagedListNumberOfItems(PagedList&)
{
    return static_cast<int>(m_giftListArray.size());
}

std::shared_ptr<pf::TableViewCell> MyGiftObtainedViewController::pagedListCellForItem(PagedList&, pf::TableView& table, int index)
{
    MyGiftObtainedTableViewCell::registerNib();
    auto cell = TableViewCellAddition::dequeOrCreateInTable<MyGiftObtainedTableViewCell>(table);
    cell->refreshCell(*m_giftListArray.at(static_cast<size_t>(index)));
    return cell;
}

void MyGiftObtainedViewController::pagedListDidSelectItem(PagedList&, int index)
{
    const MyGiftInfo& info = *m_giftListArray.at(static_cast<size_t>(index));
    auto code = std::make_shared<MyGiftCodeViewController>();
    code->assignViewControllerInfo(info.title().text(), info.code().text());
    auto owner = superViewController();
    if (auto navigation = owner ? owner->navigationController() : navigationController())
        navigation->pushViewController(code, true);
}
