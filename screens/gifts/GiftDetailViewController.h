#pragma once

#include "core/NetworkRequestorDelegate.h"
#include "core/views/AdaptedViewController.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "screens/gifts/GiftActionControlDelegate.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class GiftActionControl;
class GiftDetailInfo;
class GiftObtainFinishedPromptControl;
class GiftObtainInfo;
class GiftObtainPromptControl;
class GiftPromptPanelControl;
class NetworkRequestor;
class VerificationCodeInfo;
class VerificationViewController;

namespace pf {
class Button;
class TableView;
struct Notification;
}

// The screen of one gift: it loads the gift's detail ("ka/info") by its id and shows it in up
// to four sections (header, details "礼包详情", usage "使用方法", related gifts "猜你喜欢"),
// with the gift's one action in a bar at the bottom: book it ("预约"), claim a code ("领取",
// free or for a cost, through the word-picking captcha), pick up a released code ("淘号"), or
// nothing once it has ended. A claimed code shows in a result overlay and "复制卡密" copies it
// to the general pasteboard.
//
// Every claim step first checks the login through the login manager and resumes when
// "UserLogin" arrives; when it answers "UserNotLogin" instead, the login screen is pushed and
// the step resumes after the user has logged in there.
//
// Rules:
// - Claim progress (`giftObtainStatus`): nothing pending, a captcha is wanted, an answer is to
//   be sent, or a released code is to be picked up. A "UserLogin" resumes the pending step
//   once and clears it, so the claim request is sent once per answer: no later "UserLogin" from
//   anywhere sends it again.
// - A "UserNotLogin" pushes the login screen only while this screen has a step pending and is
//   the top of its navigation stack, so one notification never pushes two login screens.
// - A detail reply that is not a success or has no usable gift (an id and a title) shows its
//   "msg" and leaves the bar disabled: nothing empty is ever booked. Booking says it succeeded
//   only when the store kept the gift.
// - A captcha is shown only when its pictures were fetched and cut; a claim result only with a
//   code. Failed replies show their "msg" in a toast.
// - Replies are told apart by the requestor that answers; a reply of a replaced requestor is
//   dropped. Resetting the claim (closing the captcha, cancelling a prompt) cancels a captcha
//   request still on its way, so a closed overlay never opens again by itself.
class GiftDetailViewController : public AdaptedViewController,
                                 public NetworkRequestorDelegate,
                                 public pf::TableViewDataSource,
                                 public pf::TableViewDelegate,
                                 public GiftActionControlDelegate {
public:
    enum SectionKind { HeaderSection = 0, InfoSection = 1, DescSection = 2, RelatedSection = 3 };
    enum class ObtainStatus { None, CaptchaWanted, AnswerPending, PickUpPending };

    static constexpr double kActionBarHeight = 40;
    static constexpr double kSectionSpacing = 16;

    // The share sheet, made the first time the share button is touched: given the screen's
    // bounds, the gift's title and record, a view to show. The gift's share sheet unless this
    // screen is given another maker.
    using ShareSheetFactory = std::function<std::shared_ptr<pf::View>(const pf::Rect& bounds, const std::string& title,
        const std::shared_ptr<GiftDetailInfo>& info)>;
    void setShareSheetFactory(ShareSheetFactory factory) { m_shareSheetFactory = std::move(factory); }

    GiftDetailViewController();
    ~GiftDetailViewController() override;

    int fid() const { return m_fid; }
    void setFid(int fid) { m_fid = fid; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // --- taps ---
    void didTouchGiftActionControlGiftObtainControl(const std::shared_ptr<pf::Button>& button) override;
    void didTouchGiftActionControlGiftShareControl(const std::shared_ptr<GiftActionControl>& control) override;
    // The claim prompt's "立刻领取" (tag 10) and the result's "复制卡密" (tag 11).
    void didTouchButton(const std::shared_ptr<pf::View>& sender);

    // --- claim steps (also called by the overlays) ---
    void resetGiftObtainStatus();
    void verifyCode(const std::string& answer);
    void requestVerifyCode();

    // --- replies and notifications ---
    void networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data) override;
    void loginFinished(const pf::Notification& notification);
    void requestUserLogin(const pf::Notification& notification);

    // --- table ---
    int numberOfSectionsInTableView(pf::TableView& tableView) override;
    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForHeaderInSection(pf::TableView& tableView, int section) override;
    double heightForFooterInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::View> viewForFooterInSection(pf::TableView& tableView, int section) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;

    // --- state ---
    ObtainStatus giftObtainStatus() const { return m_giftObtainStatus; }
    void setGiftObtainStatus(ObtainStatus status) { m_giftObtainStatus = status; }
    std::shared_ptr<GiftDetailInfo> giftDetailInfo() const { return m_giftDetailInfo; }
    const std::vector<int>& sectionTypes() const { return m_sectionTypes; }
    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }
    std::shared_ptr<GiftActionControl> giftActionControl() const { return m_giftActionControl; }
    std::shared_ptr<GiftObtainPromptControl> giftObtainPromptControl() const { return m_giftObtainPromptControl; }
    std::shared_ptr<GiftObtainFinishedPromptControl> giftObtainFinishedPromptControl() const { return m_giftObtainFinishedPromptControl; }
    std::shared_ptr<VerificationViewController> verificationViewController() const { return m_verificationViewController; }
    std::shared_ptr<pf::View> sharingListView() const { return m_sharingListView; }
    std::shared_ptr<NetworkRequestor> networkRequestor() const { return m_networkRequestor; }
    std::shared_ptr<NetworkRequestor> giftObtainRequstor() const { return m_giftObtainRequstor; }
    std::shared_ptr<NetworkRequestor> verifyCodeRequestor() const { return m_verifyCodeRequestor; }
    std::shared_ptr<GiftObtainInfo> giftObtainInfo() const { return m_giftObtainInfo; }
    std::shared_ptr<VerificationCodeInfo> verificationCodeInfo() const { return m_verificationCodeInfo; }
    const std::string& verifyCode() const { return m_verifyCode; }

private:
    std::shared_ptr<GiftDetailViewController> self();

    void requestGiftDetail(int fid);
    void requestGiftDetailInfoDidFinished(const pf::Bytes& data);
    void requestVerifyCodeDidFinished(const pf::Bytes& data);
    void requestObtainGiftInfoWithVerifyString(const std::string& verifyString, const std::string& verifyCode);
    void requestObtainGiftDidFinished(const pf::Bytes& data);
    void requestUserLoginStatus();
    void showUserLogginView();
    void handleGiftObtainEvent();
    void showGiftObtainControl();
    void showGiftObtainFinishedControl(const std::string& code, const std::string& giftName, int controlType);
    void showPromptMeaasge(const std::string& text);
    void copyGiftCode();
    void assignGiftActionControlText();
    void fetchSectionTypeInfo();
    void bookGift();
    void showShareSheet();
    void showVerificationView();

    void addTableView();
    void addGiftActionControl();
    void addGiftObtainPromptControl();
    void addGiftObtainFinishedPromptControl();
    // Lays an overlay over the whole screen, hidden until a claim needs it.
    void placeOverlay(const std::shared_ptr<GiftPromptPanelControl>& overlay);
    void fetchLeftNavigationItem();
    void fetchRightNavigationItem();
    void popViewController();
    void backHomePage();

    int m_fid { 0 };
    std::shared_ptr<GiftDetailInfo> m_giftDetailInfo;
    std::vector<int> m_sectionTypes;
    std::shared_ptr<pf::TableView> m_tableView;
    std::shared_ptr<GiftActionControl> m_giftActionControl;
    std::shared_ptr<GiftObtainPromptControl> m_giftObtainPromptControl;
    std::shared_ptr<GiftObtainFinishedPromptControl> m_giftObtainFinishedPromptControl;
    std::shared_ptr<VerificationViewController> m_verificationViewController;
    ShareSheetFactory m_shareSheetFactory;
    std::shared_ptr<pf::View> m_sharingListView;
    std::shared_ptr<NetworkRequestor> m_networkRequestor;
    std::shared_ptr<NetworkRequestor> m_giftObtainRequstor;
    std::shared_ptr<NetworkRequestor> m_verifyCodeRequestor;
    std::shared_ptr<GiftObtainInfo> m_giftObtainInfo;
    std::shared_ptr<VerificationCodeInfo> m_verificationCodeInfo;
    std::string m_verifyCode;
    ObtainStatus m_giftObtainStatus { ObtainStatus::None };
};
