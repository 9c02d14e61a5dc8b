#include "screens/gifts/GiftDetailViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/managers/AppointmentManager.h"
#include "core/managers/LoginManager.h"
#include "core/managers/SharingManager.h"
#include "core/managers/VerificationCodeImageManager.h"
#include "core/records/GiftDetailInfo.h"
#include "core/records/GiftObtainInfo.h"
#include "core/records/VerificationCodeInfo.h"
#include "core/views/CellHeightCaculator.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/PromptViewCreator.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "screens/account/UserLoggingViewController.h"
#include "screens/gifts/GiftActionControl.h"
#include "screens/gifts/GiftDetailHeaderTableViewCell.h"
#include "screens/gifts/GiftDetailMiddleTableViewCell.h"
#include "screens/gifts/GiftDetailRelatedGiftTableViewCell.h"
#include "screens/gifts/GiftObtainFinishedPromptControl.h"
#include "screens/gifts/GiftObtainPromptControl.h"
#include "screens/gifts/SectionHeaderTableViewCell.h"
#include "screens/gifts/SharingListView.h"
#include "screens/gifts/VerificationViewController.h"

namespace {

// Said when a failed reply carries no message of its own.
constexpr const char* kDetailFailed = "礼包信息加载失败，请稍后再试";
constexpr const char* kCaptchaFailed = "验证码加载失败，请稍后再试";
constexpr const char* kObtainFailed = "领取失败，请稍后再试";
constexpr const char* kBookingFailed = "预约失败，请稍后再试";

std::string messageOr(const PortalReplyEnvelope& reply, const char* fallback)
{
    std::string message = reply.message();
    return message.empty() ? fallback : message;
}

bool isSevenOrLater()
{
    return pf::Device::current().systemVersionFloat() >= 7.0;
}

}

GiftDetailViewController::GiftDetailViewController()
{
    GiftDetailHeaderTableViewCell::registerNib();
    GiftDetailMiddleTableViewCell::registerNib();
    SectionHeaderTableViewCell::registerNib();
    GiftDetailRelatedGiftTableViewCell::registerNib();
    onAction("didTouchButton:", [this](const std::shared_ptr<pf::View>& sender) { didTouchButton(sender); });
    onAction("resetGiftObtainStatus", [this](const std::shared_ptr<pf::View>&) { resetGiftObtainStatus(); });
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
    onAction("backHomePage:", [this](const std::shared_ptr<pf::View>&) { backHomePage(); });
}

GiftDetailViewController::~GiftDetailViewController()
{
    pf::NotificationCenter::defaultCenter().removeObserver(this);
}

std::shared_ptr<GiftDetailViewController> GiftDetailViewController::self()
{
    return std::static_pointer_cast<GiftDetailViewController>(shared_from_this());
}

// --- loading and appearance ---

void GiftDetailViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    // The login manager registers its observers before this screen does, so its record is
    // up to date when this screen hears "UserLogin".
    LoginManager::sharedInstance();
    m_giftObtainStatus = ObtainStatus::None;
    setTitle("礼包详情");
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    fetchLeftNavigationItem();
    fetchRightNavigationItem();
    requestGiftDetail(m_fid);

    auto& center = pf::NotificationCenter::defaultCenter();
    std::weak_ptr<GiftDetailViewController> weak = self();
    center.addObserver(weak, LoginManager::kUserLoginNotification, [weak](const pf::Notification& n) {
        if (auto screen = weak.lock())
            screen->loginFinished(n);
    });
    center.addObserver(weak, LoginManager::kUserNotLoginNotification, [weak](const pf::Notification& n) {
        if (auto screen = weak.lock())
            screen->requestUserLogin(n);
    });
}

void GiftDetailViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    addGiftActionControl();
    addGiftObtainPromptControl();
    addGiftObtainFinishedPromptControl();
    addTableView();
    m_giftObtainPromptControl->setHidden(true);
}

void GiftDetailViewController::fetchLeftNavigationItem()
{
    pf::Rect frame = isSevenOrLater() ? pf::Rect { 6, 13, 8, 16 } : pf::Rect { 16, 13, 8, 16 };
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(self(), "back.png", frame, "popViewController:");
}

void GiftDetailViewController::fetchRightNavigationItem()
{
    pf::Rect frame = isSevenOrLater() ? pf::Rect { 30, 13, 16, 16 } : pf::Rect { 20, 13, 16, 16 };
    CustomControlApperanceCreator::assignCustomRightBarButtonItem(self(), "home.png", frame, "backHomePage:");
}

void GiftDetailViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

void GiftDetailViewController::backHomePage()
{
    if (auto navigation = navigationController())
        navigation->popToRootViewController(true);
}

void GiftDetailViewController::addGiftActionControl()
{
    if (m_giftActionControl)
        return;
    double height = view()->bounds().height();
    m_giftActionControl = GiftActionControl::create(pf::Rect { 0, height - kActionBarHeight, 320, kActionBarHeight });
    m_giftActionControl->setAutoresizingMask(pf::Autoresizing::FlexibleTopMargin);
    m_giftActionControl->setGiftActionControlDelegate(self());
    // Nothing to act on until the gift has arrived.
    m_giftActionControl->setUserInteractionEnabled(m_giftDetailInfo != nullptr);
    if (m_giftDetailInfo)
        assignGiftActionControlText();
    view()->addSubview(m_giftActionControl);
}

void GiftDetailViewController::addGiftObtainPromptControl()
{
    if (m_giftObtainPromptControl)
        return;
    m_giftObtainPromptControl = GiftObtainPromptControl::create({});
    placeOverlay(m_giftObtainPromptControl);
}

void GiftDetailViewController::addGiftObtainFinishedPromptControl()
{
    if (m_giftObtainFinishedPromptControl)
        return;
    m_giftObtainFinishedPromptControl = GiftObtainFinishedPromptControl::create({});
    placeOverlay(m_giftObtainFinishedPromptControl);
}

void GiftDetailViewController::placeOverlay(const std::shared_ptr<GiftPromptPanelControl>& overlay)
{
    overlay->setFrame(view()->bounds());
    overlay->setAutoresizingMask(pf::Autoresizing::FlexibleHeight | pf::Autoresizing::FlexibleWidth);
    overlay->setHidden(true);
    overlay->setSuperViewController(self());
    view()->addSubview(overlay);
}

void GiftDetailViewController::addTableView()
{
    if (m_tableView)
        return;
    double height = view()->bounds().height();
    m_tableView = std::make_shared<pf::TableView>(pf::Rect { 0, 0, 320, height - kActionBarHeight }, pf::TableViewStyle::Plain);
    m_tableView->setAutoresizingMask(pf::Autoresizing::FlexibleHeight);
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    m_tableView->setDataSource(self());
    m_tableView->setDelegate(self());
    view()->addSubview(m_tableView);
    // The overlays stay above the list.
    for (auto overlay : std::initializer_list<std::shared_ptr<pf::View>> { m_giftObtainPromptControl, m_giftObtainFinishedPromptControl }) {
        if (overlay && !overlay->isHidden())
            view()->bringSubviewToFront(overlay);
    }
}

// --- the gift ---

void GiftDetailViewController::requestGiftDetail(int fid)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftDetail);
    if (!address) {
        pf::Log::line("GiftDetailViewController: no address for the gift detail request");
        return;
    }
    m_networkRequestor = NetworkRequestor::create();
    m_networkRequestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForGiftDetail(fid), false, self());
}

void GiftDetailViewController::requestGiftDetailInfoDidFinished(const pf::Bytes& data)
{
    auto reply = PortalReplyEnvelope::parse(data);
    std::shared_ptr<GiftDetailInfo> info;
    if (reply.isSuccess() && reply.body().isDictionary())
        info = GiftDetailInfo::itemFromDictionary(reply.body());
    // A gift without an id or a title cannot be shown, booked or claimed.
    if (!info || info->fid() == 0 || info->title().text().empty()) {
        showPromptMeaasge(messageOr(reply, kDetailFailed));
        return;
    }
    m_giftDetailInfo = info;
    fetchSectionTypeInfo();
    if (m_giftActionControl) {
        assignGiftActionControlText();
        m_giftActionControl->setUserInteractionEnabled(true);
    }
    if (m_tableView)
        m_tableView->reloadData();
}

void GiftDetailViewController::fetchSectionTypeInfo()
{
    m_sectionTypes.clear();
    if (!m_giftDetailInfo)
        return;
    if (!m_giftDetailInfo->title().text().empty())
        m_sectionTypes.push_back(HeaderSection);
    if (!m_giftDetailInfo->info().text().empty())
        m_sectionTypes.push_back(InfoSection);
    if (!m_giftDetailInfo->desc().text().empty())
        m_sectionTypes.push_back(DescSection);
    if (m_giftDetailInfo->abouts() && !m_giftDetailInfo->abouts()->empty())
        m_sectionTypes.push_back(RelatedSection);
}

void GiftDetailViewController::assignGiftActionControlText()
{
    if (m_giftActionControl && m_giftDetailInfo)
        m_giftActionControl->assignGiftObatinControlStatus(m_giftDetailInfo->status());
}

// --- the bar ---

void GiftDetailViewController::didTouchGiftActionControlGiftObtainControl(const std::shared_ptr<pf::Button>& button)
{
    if (!button || !m_giftDetailInfo)
        return;
    switch (button->tag()) {
    case 11:
        bookGift();
        break;
    case 12:
        handleGiftObtainEvent();
        break;
    case 13:
        m_giftObtainStatus = ObtainStatus::PickUpPending;
        requestUserLoginStatus();
        break;
    default:
        break;
    }
}

void GiftDetailViewController::bookGift()
{
    auto status = AppointmentManager::sharedInstance()->addGiftAppointment(*m_giftDetailInfo);
    if (status == DataBaseManager::Status::Ok || status == DataBaseManager::Status::Existed)
        PromptViewCreator::sharedInstance()->showPromptViewWithMessage("您的" + m_giftDetailInfo->title().text() + "已经预约成功");
    else
        PromptViewCreator::sharedInstance()->showPromptViewWithMessage(kBookingFailed);
}

void GiftDetailViewController::handleGiftObtainEvent()
{
    if (m_giftDetailInfo->extcredits1() == 0 && m_giftDetailInfo->extcredits2() == 0) {
        m_giftObtainStatus = ObtainStatus::CaptchaWanted;
        requestUserLoginStatus();
        return;
    }
    showGiftObtainControl();
}

void GiftDetailViewController::showGiftObtainControl()
{
    if (!m_giftObtainPromptControl || !m_giftDetailInfo)
        return;
    m_giftObtainPromptControl->setHidden(false);
    m_giftObtainPromptControl->setUserInteractionEnabled(true);
    const std::string& title = m_giftDetailInfo->title().text();
    const int gold = m_giftDetailInfo->extcredits1();
    const int points = m_giftDetailInfo->extcredits2();
    // The question names what the claim charges: both costs when the gift has both.
    if (gold != 0 && points != 0)
        m_giftObtainPromptControl->assignBothCosts(gold, points, title);
    else if (gold != 0)
        m_giftObtainPromptControl->assignText(gold, 1, title);
    else if (points != 0)
        m_giftObtainPromptControl->assignText(points, 2, title);
    view()->bringSubviewToFront(m_giftObtainPromptControl);
}

void GiftDetailViewController::didTouchGiftActionControlGiftShareControl(const std::shared_ptr<GiftActionControl>&)
{
    showShareSheet();
}

void GiftDetailViewController::showShareSheet()
{
    if (!m_giftDetailInfo)
        return;
    if (!m_sharingListView) {
        if (m_shareSheetFactory) {
            m_sharingListView = m_shareSheetFactory(view()->bounds(), m_giftDetailInfo->title().text(), m_giftDetailInfo);
        } else {
            auto sheet = SharingListView::create(view()->bounds(), m_giftDetailInfo->title().text());
            sheet->setShareDataType(SharingManager::kGiftDetailDataType);
            sheet->setInfoKeeper({ m_giftDetailInfo });
            m_sharingListView = sheet;
        }
        if (!m_sharingListView)
            return;
        m_sharingListView->setHidden(true);
        view()->addSubview(m_sharingListView);
    }
    m_sharingListView->setHidden(false);
    view()->bringSubviewToFront(m_sharingListView);
}

// --- overlays ---

void GiftDetailViewController::didTouchButton(const std::shared_ptr<pf::View>& sender)
{
    if (!sender)
        return;
    if (sender->tag() == GiftObtainPromptControl::kObtainButtonTag) {
        if (m_giftObtainPromptControl)
            m_giftObtainPromptControl->setUserInteractionEnabled(false);
        m_giftObtainStatus = ObtainStatus::CaptchaWanted;
        requestUserLoginStatus();
    } else if (sender->tag() == GiftObtainFinishedPromptControl::kCopyButtonTag) {
        copyGiftCode();
        if (m_giftObtainFinishedPromptControl)
            m_giftObtainFinishedPromptControl->setHidden(true);
    }
}

void GiftDetailViewController::copyGiftCode()
{
    // An absent code must not wipe what the user has on the pasteboard.
    if (!m_giftObtainInfo || m_giftObtainInfo->codeString().text().empty())
        return;
    pf::Pasteboard::general()->setString(m_giftObtainInfo->codeString().text());
}

void GiftDetailViewController::resetGiftObtainStatus()
{
    if (m_giftObtainPromptControl)
        m_giftObtainPromptControl->setHidden(true);
    m_giftObtainStatus = ObtainStatus::None;
    // A captcha still on its way belongs to the claim given up here (the overlay was closed
    // while a new picture loaded): its reply would open the overlay again.
    if (m_verifyCodeRequestor) {
        m_verifyCodeRequestor->cancel();
        m_verifyCodeRequestor.reset();
    }
}

void GiftDetailViewController::showPromptMeaasge(const std::string& text)
{
    if (m_giftObtainPromptControl)
        m_giftObtainPromptControl->setHidden(true);
    PromptViewCreator::sharedInstance()->showPromptViewWithMessage(text);
}

// --- login ---

void GiftDetailViewController::requestUserLoginStatus()
{
    LoginManager::sharedInstance()->requestUserInfo();
}

void GiftDetailViewController::requestUserLogin(const pf::Notification&)
{
    if (m_giftObtainStatus == ObtainStatus::None)
        return;
    auto navigation = navigationController();
    if (!navigation || navigation->topViewController() != sharedController())
        return;
    showUserLogginView();
}

void GiftDetailViewController::showUserLogginView()
{
    if (auto navigation = navigationController())
        navigation->pushViewController(std::make_shared<UserLoggingViewController>(), true);
}

void GiftDetailViewController::loginFinished(const pf::Notification&)
{
    // The pending step runs once: whoever posts the next "UserLogin" finds nothing to resume.
    ObtainStatus step = m_giftObtainStatus;
    m_giftObtainStatus = ObtainStatus::None;
    switch (step) {
    case ObtainStatus::PickUpPending:
        requestObtainGiftInfoWithVerifyString({}, {});
        break;
    case ObtainStatus::AnswerPending:
        requestObtainGiftInfoWithVerifyString(m_verificationCodeInfo ? m_verificationCodeInfo->verifystr().text() : std::string(),
            m_verifyCode);
        break;
    case ObtainStatus::CaptchaWanted:
        if (m_verificationViewController) {
            m_verificationViewController->setVerificationCodeInfo(nullptr);
            m_verificationViewController->view()->setHidden(false);
            m_verificationViewController->viewWillAppear(true);
            view()->bringSubviewToFront(m_verificationViewController->view());
        }
        requestVerifyCode();
        break;
    case ObtainStatus::None:
        break;
    }
}

// --- captcha ---

void GiftDetailViewController::requestVerifyCode()
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::VerifyCode);
    if (!address)
        return;
    m_verifyCodeRequestor = NetworkRequestor::create();
    m_verifyCodeRequestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForVerifyCode(), true, self());
}

void GiftDetailViewController::requestVerifyCodeDidFinished(const pf::Bytes& data)
{
    auto reply = PortalReplyEnvelope::parse(data);
    std::shared_ptr<VerificationCodeInfo> captcha;
    if (reply.isSuccess() && reply.body().isDictionary())
        captcha = VerificationCodeInfo::itemFromDictionary(reply.body());
    bool usable = captcha && !captcha->verifystr().text().empty() && captcha->verikey() && !captcha->verikey()->empty()
        && VerificationCodeImageManager::sharedInstance()->createVerificationCodeImages(captcha->url().text());
    if (!usable) {
        // An overlay waiting for this captcha must not stay up without one.
        if (m_verificationViewController && !m_verificationViewController->verificationCodeInfo())
            m_verificationViewController->view()->setHidden(true);
        showPromptMeaasge(reply.isSuccess() ? kCaptchaFailed : messageOr(reply, kCaptchaFailed));
        return;
    }
    m_verificationCodeInfo = captcha;
    showVerificationView();
}

void GiftDetailViewController::showVerificationView()
{
    if (!m_verificationViewController) {
        m_verificationViewController = std::make_shared<VerificationViewController>();
        m_verificationViewController->setSuperViewController(self());
        view()->addSubview(m_verificationViewController->view());
    }
    m_verificationViewController->setVerificationCodeInfo(m_verificationCodeInfo);
    m_verificationViewController->view()->setHidden(false);
    m_verificationViewController->viewWillAppear(true);
    view()->bringSubviewToFront(m_verificationViewController->view());
}

void GiftDetailViewController::verifyCode(const std::string& answer)
{
    m_verifyCode = answer;
    m_giftObtainStatus = ObtainStatus::AnswerPending;
    requestUserLoginStatus();
}

// --- claim ---

void GiftDetailViewController::requestObtainGiftInfoWithVerifyString(const std::string& verifyString, const std::string& verifyCode)
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::GiftReceive);
    if (!address)
        return;
    m_giftObtainRequstor = NetworkRequestor::create();
    m_giftObtainRequstor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForGiftObtain(m_fid, verifyString, verifyCode), true, self());
}

void GiftDetailViewController::requestObtainGiftDidFinished(const pf::Bytes& data)
{
    auto reply = PortalReplyEnvelope::parse(data);
    std::shared_ptr<GiftObtainInfo> obtained;
    if (reply.isSuccess() && reply.body().isDictionary())
        obtained = GiftObtainInfo::itemFromDictionary(reply.body());
    if (!obtained || obtained->codeString().text().empty()) {
        showPromptMeaasge(reply.isSuccess() ? kObtainFailed : messageOr(reply, kObtainFailed));
        return;
    }
    if (m_giftObtainPromptControl)
        m_giftObtainPromptControl->setHidden(true);
    m_giftObtainInfo = obtained;
    int controlType = m_giftDetailInfo && m_giftDetailInfo->status() == 2 ? 1 : 0;
    showGiftObtainFinishedControl(obtained->codeString().text(), m_giftDetailInfo ? m_giftDetailInfo->title().text() : std::string(),
        controlType);
}

void GiftDetailViewController::showGiftObtainFinishedControl(const std::string& code, const std::string& giftName, int controlType)
{
    if (!m_giftObtainFinishedPromptControl)
        return;
    m_giftObtainFinishedPromptControl->setHidden(false);
    m_giftObtainFinishedPromptControl->assignText(code, giftName, controlType);
    view()->bringSubviewToFront(m_giftObtainFinishedPromptControl);
}

// --- replies ---

void GiftDetailViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (!requestor)
        return;
    if (requestor == m_networkRequestor)
        requestGiftDetailInfoDidFinished(data);
    else if (requestor == m_giftObtainRequstor)
        requestObtainGiftDidFinished(data);
    else if (requestor == m_verifyCodeRequestor)
        requestVerifyCodeDidFinished(data);
}

// --- table ---

int GiftDetailViewController::numberOfSectionsInTableView(pf::TableView&)
{
    return static_cast<int>(m_sectionTypes.size());
}

int GiftDetailViewController::numberOfRowsInSection(pf::TableView&, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= m_sectionTypes.size() || !m_giftDetailInfo)
        return 0;
    switch (m_sectionTypes[static_cast<size_t>(section)]) {
    case HeaderSection:
        return 1;
    case InfoSection:
    case DescSection:
        return 2;
    case RelatedSection:
        return m_giftDetailInfo->abouts() ? static_cast<int>(m_giftDetailInfo->abouts()->size()) + 1 : 0;
    default:
        return 0;
    }
}

std::shared_ptr<pf::TableViewCell> GiftDetailViewController::cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    int kind = indexPath.section >= 0 && static_cast<size_t>(indexPath.section) < m_sectionTypes.size()
        ? m_sectionTypes[static_cast<size_t>(indexPath.section)]
        : -1;
    if (kind == HeaderSection) {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftDetailHeaderTableViewCell>(tableView);
        cell->refreshCell(*m_giftDetailInfo);
        cell->setUserInteractionEnabled(false);
        return cell;
    }
    if (indexPath.row == 0 && kind >= InfoSection && kind <= RelatedSection) {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<SectionHeaderTableViewCell>(tableView);
        static const char* const kTitles[] = { "", "礼包详情", "使用方法", "猜你喜欢" };
        cell->refreshCell(kTitles[kind]);
        cell->setUserInteractionEnabled(false);
        return cell;
    }
    if (kind == InfoSection || kind == DescSection) {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftDetailMiddleTableViewCell>(tableView);
        cell->refreshCellDetailDescribtion(kind == InfoSection ? m_giftDetailInfo->info().text() : m_giftDetailInfo->desc().text());
        cell->setUserInteractionEnabled(false);
        return cell;
    }
    if (kind == RelatedSection && m_giftDetailInfo->abouts() && indexPath.row >= 1
        && static_cast<size_t>(indexPath.row) <= m_giftDetailInfo->abouts()->size()) {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<GiftDetailRelatedGiftTableViewCell>(tableView);
        cell->setSuperViewController(self());
        cell->refreshCell(*m_giftDetailInfo->abouts()->at(static_cast<size_t>(indexPath.row - 1)));
        return cell;
    }
    return std::make_shared<pf::TableViewCell>();
}

double GiftDetailViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath& indexPath)
{
    if (indexPath.section < 0 || static_cast<size_t>(indexPath.section) >= m_sectionTypes.size() || !m_giftDetailInfo)
        return 0;
    switch (m_sectionTypes[static_cast<size_t>(indexPath.section)]) {
    case HeaderSection:
        return GiftDetailHeaderTableViewCell::kRowHeight;
    case InfoSection:
    case DescSection: {
        if (indexPath.row == 0)
            return SectionHeaderTableViewCell::kRowHeight;
        // The text block is built and filled as the list will show it, then measured; a cell
        // of its own, so the list's free cells are left alone.
        auto cell = TableViewCellAddition::loadFromNibWithReuseFlag<GiftDetailMiddleTableViewCell>(false);
        bool info = m_sectionTypes[static_cast<size_t>(indexPath.section)] == InfoSection;
        cell->refreshCellDetailDescribtion(info ? m_giftDetailInfo->info().text() : m_giftDetailInfo->desc().text());
        return CellHeightCaculator::getCellHeight(cell);
    }
    case RelatedSection:
        return indexPath.row == 0 ? SectionHeaderTableViewCell::kRowHeight : GiftDetailRelatedGiftTableViewCell::kRowHeight;
    default:
        return 0;
    }
}

double GiftDetailViewController::heightForHeaderInSection(pf::TableView&, int)
{
    return 0;
}

double GiftDetailViewController::heightForFooterInSection(pf::TableView&, int section)
{
    return section + 1 < static_cast<int>(m_sectionTypes.size()) ? kSectionSpacing : 0;
}

std::shared_ptr<pf::View> GiftDetailViewController::viewForFooterInSection(pf::TableView&, int)
{
    auto footer = std::make_shared<pf::View>();
    footer->setBackgroundColor(pf::Color::clear());
    return footer;
}

void GiftDetailViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.section >= 0 && static_cast<size_t>(indexPath.section) < m_sectionTypes.size()
        && m_sectionTypes[static_cast<size_t>(indexPath.section)] == RelatedSection && indexPath.row >= 1 && m_giftDetailInfo
        && m_giftDetailInfo->abouts() && static_cast<size_t>(indexPath.row) <= m_giftDetailInfo->abouts()->size()) {
        auto related = std::make_shared<GiftDetailViewController>();
        related->setFid(m_giftDetailInfo->abouts()->at(static_cast<size_t>(indexPath.row - 1))->fid());
        if (auto navigation = navigationController())
            navigation->pushViewController(related, true);
    }
    tableView.deselectRowAtIndexPath(indexPath, true);
}
