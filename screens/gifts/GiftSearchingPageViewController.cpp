#include "screens/gifts/GiftSearchingPageViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextField.h"
#include "screens/gifts/GiftScreenFactory.h"
#include "screens/gifts/GiftSearchingResultsPageViewController.h"
#include "screens/gifts/SearchingPlainTableViewCell.h"

GiftSearchingPageViewController::GiftSearchingPageViewController()
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
}

std::shared_ptr<GiftSearchingPageViewController> GiftSearchingPageViewController::self()
{
    return std::static_pointer_cast<GiftSearchingPageViewController>(shared_from_this());
}

void GiftSearchingPageViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle("搜索");
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(self(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    requestRecommendationWord();
}

void GiftSearchingPageViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    addSearchingControlBackView();
    addSearchingTextFieldBackView();
    addSearchingTextField();
    addTableView();
    addSearchButton();
    addPromptTextView();
    clearSearchingResults();
}

void GiftSearchingPageViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

// --- controls ---

void GiftSearchingPageViewController::addSearchingControlBackView()
{
    if (m_searchingControlBackView)
        return;
    m_searchingControlBackView = std::make_shared<pf::View>(pf::Rect { 0, 0, 320, 47 });
    m_searchingControlBackView->setBackgroundColor(ColorFactory::colorWithHexRGB("404348"));
    view()->addSubview(m_searchingControlBackView);
}

void GiftSearchingPageViewController::addSearchingTextFieldBackView()
{
    if (m_searchingTextFieldBackView)
        return;
    m_searchingTextFieldBackView = std::make_shared<pf::View>(pf::Rect { 10, 8, 212, 30 });
    m_searchingTextFieldBackView->setBackgroundColor(ColorFactory::colorWithHexRGB("35383d"));
    view()->addSubview(m_searchingTextFieldBackView);
}

void GiftSearchingPageViewController::addSearchingTextField()
{
    if (m_searchingTextField)
        return;
    m_searchingTextField = std::make_shared<pf::TextField>(pf::Rect { 10, 11, 212, 24 });
    m_searchingTextField->setBackgroundColor(pf::Color::clear());
    m_searchingTextField->setTextColor(pf::Color::white());
    m_searchingTextField->setPlaceholder(kPlaceholder);
    m_searchingTextField->setDelegate(self());
    std::weak_ptr<GiftSearchingPageViewController> weakSelf = self();
    m_searchingTextField->addAction("searchingForGift:", [weakSelf](const std::shared_ptr<pf::Control>&) {
        if (auto strong = weakSelf.lock())
            strong->searchingForGift();
    }, pf::ControlEvent::EditingChanged);
    view()->addSubview(m_searchingTextField);
}

void GiftSearchingPageViewController::addTableView()
{
    if (m_searchingResultsTableView)
        return;
    m_searchingResultsTableView = std::make_shared<pf::TableView>(pf::Rect { 10, 40, 212, 0 });
    m_searchingResultsTableView->setBackgroundColor(pf::Color::gray());
    m_searchingResultsTableView->setDataSource(self());
    m_searchingResultsTableView->setDelegate(self());
    m_searchingResultsTableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    view()->addSubview(m_searchingResultsTableView);
}

void GiftSearchingPageViewController::addSearchButton()
{
    if (m_searchingButton)
        return;
    m_searchingButton = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 226, 8, 75, 30 });
    m_searchingButton->setTitle("搜索", pf::ControlState::Normal);
    m_searchingButton->setTitleColor(pf::Color::white(), pf::ControlState::Normal);
    m_searchingButton->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
    std::weak_ptr<GiftSearchingPageViewController> weakSelf = self();
    m_searchingButton->addAction("searchWithInputWord:", [weakSelf](const std::shared_ptr<pf::Control>&) {
        if (auto strong = weakSelf.lock())
            strong->searchWithInputWord();
    }, pf::ControlEvent::TouchUpInside);
    view()->addSubview(m_searchingButton);
}

void GiftSearchingPageViewController::addPromptTextView()
{
    if (m_promptTextView)
        return;
    m_promptTextView = std::make_shared<pf::Label>(pf::Rect { 10, 60, 100, 20 });
    m_promptTextView->setText("热门搜索：");
    m_promptTextView->setTextColor(pf::Color::black());
    m_promptTextView->setBackgroundColor(pf::Color::clear());
    view()->addSubview(m_promptTextView);
}

void GiftSearchingPageViewController::clearSearchingResults()
{
    m_searchingTextField->setText("");
    m_searchingTextField->resignFirstResponder();
    m_searchingResultsTableView->setHidden(true);
    // A suggestion still on its way belongs to a text that is gone.
    m_searchingGiftNetworkRequestor.reset();
}

// --- hot words ---

void GiftSearchingPageViewController::requestRecommendationWord()
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::SearchRecommendation);
    if (!address)
        return;
    m_networkRequestor = NetworkRequestor::create();
    m_networkRequestor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForSearchingRecommendation(1), false, self());
}

void GiftSearchingPageViewController::getRecommmendationFinished(const pf::Bytes& data)
{
    auto envelope = PortalReplyEnvelope::parse(data);
    m_searchingRecommendationWords = SearchingRecommmendationInfo::listFromDictionary(envelope.reply())
                                         .value_or(SearchingRecommmendationInfo::List {});
    addSearchingWordControl();
}

pf::Point GiftSearchingPageViewController::hotWordCentre(size_t index)
{
    return { 106.0 * static_cast<double>(index % 3) + 53, 112 + 64.0 * static_cast<double>(index / 3) };
}

void GiftSearchingPageViewController::addSearchingWordControl()
{
    // The buttons are made once: a second reply (none is asked for) adds nothing.
    if (!m_hotWordButtons.empty())
        return;
    std::weak_ptr<GiftSearchingPageViewController> weakSelf = self();
    for (size_t i = 0; i < m_searchingRecommendationWords.size(); ++i) {
        auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 0, 0, 92, 52 });
        button->setCenter(hotWordCentre(i));
        button->setBackgroundColor(pf::Color::white());
        button->setTitle(m_searchingRecommendationWords[i]->title().text(), pf::ControlState::Normal);
        button->setTitleColor(pf::Color::gray(), pf::ControlState::Normal);
        button->setTitleFont(pf::Font::system(15));
        button->addAction("searchWithWord:", [weakSelf](const std::shared_ptr<pf::Control>& sender) {
            if (auto strong = weakSelf.lock())
                strong->searchWithWord(std::dynamic_pointer_cast<pf::Button>(sender));
        }, pf::ControlEvent::TouchUpInside);
        view()->addSubview(button);
        m_hotWordButtons.push_back(button);
    }
    // The suggestions open over the hot words.
    if (m_searchingResultsTableView && !m_searchingResultsTableView->isHidden())
        view()->bringSubviewToFront(m_searchingResultsTableView);
}

// --- suggestions ---

void GiftSearchingPageViewController::searchingForGift()
{
    const std::string& text = m_searchingTextField->text();
    if (text.empty()) {
        m_searchingResultsTableView->setHidden(true);
        m_searchingGiftNetworkRequestor.reset();
        return;
    }
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftSearch);
    if (!address)
        return;
    m_searchingGiftNetworkRequestor = NetworkRequestor::create();
    m_searchingGiftNetworkRequestor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForGiftSearching(text, kPageSize, 1), false, self());
}

void GiftSearchingPageViewController::searchingForGiftFininshed(const pf::Bytes& data)
{
    auto envelope = PortalReplyEnvelope::parse(data);
    if (!envelope.isObject() || envelope.body().isNull()) {
        m_searchingResultsTableView->setHidden(true);
        return;
    }
    m_searchingResultsArray = GiftSearchingResultItemInfo::listFromDictionary(envelope.reply())
                                  .value_or(GiftSearchingResultItemInfo::List {});
    double viewHeight = view()->frame().size.height;
    double height = kRowHeight * static_cast<double>(m_searchingResultsArray.size());
    if (height + kRowHeight > viewHeight)
        height = std::max(0.0, viewHeight - kRowHeight);
    m_searchingResultsTableView->setFrame({ 10, 40, 214, height });
    m_searchingResultsTableView->setHidden(false);
    view()->bringSubviewToFront(m_searchingResultsTableView);
    m_searchingResultsTableView->reloadData();
}

void GiftSearchingPageViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor,
    const pf::Bytes& data)
{
    if (!requestor)
        return;
    if (requestor == m_networkRequestor)
        getRecommmendationFinished(data);
    else if (requestor == m_searchingGiftNetworkRequestor)
        searchingForGiftFininshed(data);
}

int GiftSearchingPageViewController::numberOfRowsInSection(pf::TableView&, int)
{
    return static_cast<int>(m_searchingResultsArray.size());
}

std::shared_ptr<pf::TableViewCell> GiftSearchingPageViewController::cellForRowAtIndexPath(pf::TableView& tableView,
    const pf::IndexPath& indexPath)
{
    SearchingPlainTableViewCell::registerNib();
    auto cell = TableViewCellAddition::dequeOrCreateInTable<SearchingPlainTableViewCell>(tableView);
    if (indexPath.row >= 0 && static_cast<size_t>(indexPath.row) < m_searchingResultsArray.size())
        cell->refreshCell(*m_searchingResultsArray[static_cast<size_t>(indexPath.row)]);
    return cell;
}

double GiftSearchingPageViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath&)
{
    return kRowHeight;
}

void GiftSearchingPageViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_searchingResultsArray.size())
        return;
    auto detail = GiftScreenFactory::giftDetailViewController(m_searchingResultsArray[static_cast<size_t>(indexPath.row)]->fid());
    if (auto navigation = navigationController(); navigation && detail)
        navigation->pushViewController(detail, true);
    tableView.deselectRowAtIndexPath(indexPath, true);
}

// --- searching ---

bool GiftSearchingPageViewController::textFieldShouldReturn(pf::TextField& textField)
{
    textField.resignFirstResponder();
    return true;
}

void GiftSearchingPageViewController::searchWithWord(const std::shared_ptr<pf::Button>& sender)
{
    if (sender)
        openResultsFor(sender->title(pf::ControlState::Normal));
}

void GiftSearchingPageViewController::searchWithInputWord()
{
    const std::string word = m_searchingTextField->text();
    if (!word.empty())
        openResultsFor(word);
}

void GiftSearchingPageViewController::openResultsFor(const std::string& word)
{
    auto results = std::make_shared<GiftSearchingResultsPageViewController>();
    results->setSearchingWord(word);
    if (auto navigation = navigationController())
        navigation->pushViewController(results, true);
}
