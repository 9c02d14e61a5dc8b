#include "screens/gifts/GiftSearchingResultsPageViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/GiftSearchingResultTableViewCell.h"
#include "screens/gifts/PagedList.h"
#include "screens/gifts/RefreshTableHeaderView.h"

GiftSearchingResultsPageViewController::GiftSearchingResultsPageViewController()
    : m_list(PagedList::create({ .paging = { .moreAtStart = true, .loadsAtEnd = true }, .separators = true,
          .rowHeight = GiftSearchingResultTableViewCell::kRowHeight }))
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
}

std::shared_ptr<GiftSearchingResultsPageViewController> GiftSearchingResultsPageViewController::self()
{
    return std::static_pointer_cast<GiftSearchingResultsPageViewController>(shared_from_this());
}

const LookAheadPager& GiftSearchingResultsPageViewController::pager() const
{
    return m_list->pager();
}

std::shared_ptr<pf::TableView> GiftSearchingResultsPageViewController::tableView() const
{
    return m_list->tableView();
}

std::shared_ptr<RefreshTableHeaderView> GiftSearchingResultsPageViewController::refreshHeaderView() const
{
    return m_list->refreshHeaderView();
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
    m_list->setDelegate(std::weak_ptr<PagedListDelegate>(self()));
    requestGiftSearched();
}

void GiftSearchingResultsPageViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    m_list->addTableView(view());
    addNoSearchResultsPromptView();
    m_list->fetchRefreshHeaderView();
}

void GiftSearchingResultsPageViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
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

void GiftSearchingResultsPageViewController::showNoSearchingResultsPromptView()
{
    auto table = tableView();
    if (!m_noSearchResultsPromptView || !table)
        return;
    m_noSearchResultsPromptView->setHidden(false);
    view()->bringSubviewToFront(m_noSearchResultsPromptView);
    table->setHidden(true);
}

// --- requests ---

void GiftSearchingResultsPageViewController::requestGiftSearched()
{
    m_list->requestPage();
}

// --- pull-to-refresh ---

void GiftSearchingResultsPageViewController::reloadTableViewDataSource()
{
    m_list->reloadTableViewDataSource();
}

void GiftSearchingResultsPageViewController::doneLoadingTableViewData()
{
    m_list->doneLoadingTableViewData();
}

// --- the list ---

std::optional<PagedListDelegate::Request> GiftSearchingResultsPageViewController::pagedListRequestForPage(PagedList&, int page)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftSearch);
    if (!address)
        return std::nullopt;
    return Request { *address, NetworkParameterAssistant::parametersForGiftSearching(m_searchingWord, kPageSize, page), false };
}

void GiftSearchingResultsPageViewController::pagedListPageArrived(PagedList&, const pf::Value& reply, bool replace)
{
    auto items = GiftSearchingResultItemInfo::listFromDictionary(reply).value_or(GiftSearchingResultItemInfo::List {});
    if (replace)
        m_searchingResults = std::move(items);
    else
        m_searchingResults.insert(m_searchingResults.end(), items.begin(), items.end());
}

void GiftSearchingResultsPageViewController::pagedListPageFailed(PagedList&, const pf::Value& reply)
{
    // Only the portal's plain "nothing" on the first page is an empty result; an error is not.
    if (LookAheadPager::kindOf(reply) == LookAheadPager::ReplyKind::End && pager().currentPage() == 1 && m_searchingResults.empty())
        showNoSearchingResultsPromptView();
}

bool GiftSearchingResultsPageViewController::pagedListReplyHasItems(PagedList&, const pf::Value& reply)
{
    return GiftSearchingResultItemInfo::listFromDictionary(reply).has_value();
}

int GiftSearchingResultsPageViewController::pagedListNumberOfItems(PagedList&)
{
    return static_cast<int>(m_searchingResults.size());
}

std::shared_ptr<pf::TableViewCell> GiftSearchingResultsPageViewController::pagedListCellForItem(PagedList&, pf::TableView& table, int index)
{
    GiftSearchingResultTableViewCell::registerNib();
    auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftSearchingResultTableViewCell>(table);
    cell->refreshCell(*m_searchingResults.at(static_cast<size_t>(index)));
    cell->contentView()->setBackgroundColor(pf::Color::clear());
    return cell;
}

void GiftSearchingResultsPageViewController::pagedListDidSelectItem(PagedList&, int index)
{
    auto detail = GiftScreenFactory::giftDetailViewController(m_searchingResults.at(static_cast<size_t>(index))->fid());
    if (auto navigation = navigationController(); navigation && detail)
        navigation->pushViewController(detail, true);
}
