#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/records/GiftSearchingResultItemInfo.h"
#include "core/records/SearchingRecommmendationInfo.h"
#include "core/views/AdaptedViewController.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/TextFieldDelegate.h"

#include <memory>
#include <vector>

class NetworkRequestor;

namespace pf {
class Button;
class Label;
class TableView;
class TextField;
}

// The search screen ("搜索"): a field with a "搜索" button on a dark bar, live suggestions under
// the field while the user types, and a grid of hot words that the portal recommends.
//
// Rules:
// - The hot words ("arc/tui", type 1) are asked for once, when the view loads; their buttons
//   (92 x 52, three columns centred at x 53, 159 and 265, rows 64 points apart from y 112)
//   are made once, when the reply comes. A hot word opens the results for its title.
// - Every edit of the field sends one "ka/search" (the text as typed, 20, page 1) through a
//   new requestor that replaces the held one; only the held requestor's reply fills the list,
//   so a late reply of an older text shows nothing. Emptying the field hides the list and
//   drops the held requestor, so a reply still on its way shows nothing either.
// - A suggestion reply whose "body" is null (or that is no JSON object) hides the list; else
//   the list shows its items, 40 points a row, as high as they need up to the view's height
//   less 40. A suggestion opens the gift's detail screen.
// - "搜索" opens the results for the field's text when it is not empty; return only hides the
//   keyboard. Every appearance empties the field, hides the keyboard and the list.
class GiftSearchingPageViewController : public AdaptedViewController,
                                        public NetworkRequestorDelegate,
                                        public pf::TextFieldDelegate,
                                        public pf::TableViewDataSource,
                                        public pf::TableViewDelegate {
public:
    static constexpr int kPageSize = 20;
    static constexpr double kRowHeight = 40;
    static constexpr const char* kPlaceholder = "请输入想要查找的礼包...";

    GiftSearchingPageViewController();

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // --- actions ---
    void searchingForGift();
    void searchWithWord(const std::shared_ptr<pf::Button>& sender);
    void searchWithInputWord();
    void popViewController();
    bool textFieldShouldReturn(pf::TextField& textField) override;

    // --- replies ---
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;

    // --- suggestion list ---
    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;

    // The centre of the hot-word button at `index`.
    static pf::Point hotWordCentre(size_t index);

    // --- state, for tests ---
    std::shared_ptr<pf::TextField> searchingTextField() const { return m_searchingTextField; }
    std::shared_ptr<pf::Button> searchingButton() const { return m_searchingButton; }
    std::shared_ptr<pf::TableView> searchingResultsTableView() const { return m_searchingResultsTableView; }
    const SearchingRecommmendationInfo::List& searchingRecommendationWords() const { return m_searchingRecommendationWords; }
    const std::vector<std::shared_ptr<pf::Button>>& hotWordButtons() const { return m_hotWordButtons; }
    const GiftSearchingResultItemInfo::List& searchingResultsArray() const { return m_searchingResultsArray; }

private:
    std::shared_ptr<GiftSearchingPageViewController> self();
    void requestRecommendationWord();
    void getRecommmendationFinished(const pf::Bytes& data);
    void searchingForGiftFininshed(const pf::Bytes& data);
    void addSearchingWordControl();
    void openResultsFor(const std::string& word);

    void addSearchingControlBackView();
    void addSearchingTextFieldBackView();
    void addSearchingTextField();
    void addTableView();
    void addSearchButton();
    void addPromptTextView();
    void clearSearchingResults();

    std::shared_ptr<pf::View> m_searchingControlBackView;
    std::shared_ptr<pf::View> m_searchingTextFieldBackView;
    std::shared_ptr<pf::TextField> m_searchingTextField;
    std::shared_ptr<pf::Button> m_searchingButton;
    std::shared_ptr<pf::Label> m_promptTextView;
    std::shared_ptr<NetworkRequestor> m_networkRequestor;
    std::shared_ptr<NetworkRequestor> m_searchingGiftNetworkRequestor;
    SearchingRecommmendationInfo::List m_searchingRecommendationWords;
    std::vector<std::shared_ptr<pf::Button>> m_hotWordButtons;
    GiftSearchingResultItemInfo::List m_searchingResultsArray;
    std::shared_ptr<pf::TableView> m_searchingResultsTableView;
};
