#include "screens/menu/LeftEntranceViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/managers/LoginManager.h"
#include "core/managers/UpdatingCheckManager.h"
#include "core/records/UserInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/TableViewCellAddition.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animation.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "screens/account/UserLoggingViewController.h"
#include "screens/account/UserPersonalCenterViewController.h"
#include "screens/gifts/WebDetailPageViewController.h"
#include "screens/menu/DDMenuController.h"
#include "screens/menu/EntranceLoginTypeTableViewCell.h"
#include "screens/menu/EntranceType0TableViewCell.h"
#include "screens/mygifts/MyGiftsViewController.h"

namespace {

LeftEntranceViewController::WebPageFactory& webPageFactory()
{
    static LeftEntranceViewController::WebPageFactory factory;
    return factory;
}

enum Entrance { MyGifts, CheckUpdating, About, Feedback };

}

void LeftEntranceViewController::setWebPageFactory(WebPageFactory factory)
{
    webPageFactory() = std::move(factory);
}

LeftEntranceViewController::LeftEntranceViewController()
{
    EntranceLoginTypeTableViewCell::registerNib();
    EntranceType0TableViewCell::registerNib();
}

LeftEntranceViewController::~LeftEntranceViewController()
{
    pf::NotificationCenter::defaultCenter().removeObserver(this);
}

void LeftEntranceViewController::viewDidLoad()
{
    pf::ViewController::viewDidLoad();
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("2a2b2f"));
    addPanGestureRecognizer();
    assignEntranceInfo();
    addTableView();
    LoginManager::sharedInstance()->requestUserInfo();
    auto& center = pf::NotificationCenter::defaultCenter();
    std::weak_ptr<LeftEntranceViewController> weak = std::static_pointer_cast<LeftEntranceViewController>(shared_from_this());
    center.addObserver(weak, LoginManager::kUserLoginNotification, [weak](const pf::Notification& n) {
        if (auto strong = weak.lock())
            strong->loginFinished(n);
    });
    center.addObserver(weak, LoginManager::kUserLogoutNotification, [weak](const pf::Notification& n) {
        if (auto strong = weak.lock())
            strong->logoutFinished(n);
    });
}

void LeftEntranceViewController::addPanGestureRecognizer()
{
    std::weak_ptr<DDMenuController> container = m_superViewController;
    m_pan = std::make_shared<pf::PanGestureRecognizer>([container](pf::GestureRecognizer& r) {
        if (auto strong = container.lock())
            strong->pan(r);
    });
    if (auto strong = container.lock())
        m_pan->setDelegate(std::weak_ptr<pf::GestureRecognizerDelegate>(strong));
    view()->addGestureRecognizer(m_pan);
}

void LeftEntranceViewController::assignEntranceInfo()
{
    m_entranceIconsString = { "setting_gift.png", "setting_check_updating.png", "setting_about.png", "setting_feedback.png" };
    m_entranceNames = { "我的礼包", "检查更新", "关于", "反馈" };
}

void LeftEntranceViewController::addTableView()
{
    // The view is sized by the container after it loads (to the side panel, inside a tablet's
    // popover): the table follows it, so every row stays within reach.
    m_tableView = std::make_shared<pf::TableView>(view()->bounds());
    m_tableView->setAutoresizingMask(pf::Autoresizing::FlexibleWidth | pf::Autoresizing::FlexibleHeight);
    auto self = std::static_pointer_cast<LeftEntranceViewController>(shared_from_this());
    m_tableView->setDataSource(std::weak_ptr<pf::TableViewDataSource>(self));
    m_tableView->setDelegate(std::weak_ptr<pf::TableViewDelegate>(self));
    m_tableView->setBackgroundColor(pf::Color::clear());
    m_tableView->setSeparatorStyle(pf::TableViewSeparatorStyle::None);
    view()->addSubview(m_tableView);
}

void LeftEntranceViewController::loginFinished(const pf::Notification&)
{
    m_userInfo = LoginManager::sharedInstance()->userInformation();
    if (m_tableView)
        m_tableView->reloadData();
}

void LeftEntranceViewController::logoutFinished(const pf::Notification&)
{
    m_userInfo.reset();
    if (m_tableView)
        m_tableView->reloadData();
}

// --- table ---

int LeftEntranceViewController::numberOfSectionsInTableView(pf::TableView&)
{
    return 2;
}

int LeftEntranceViewController::numberOfRowsInSection(pf::TableView&, int section)
{
    return section == 0 ? 1 : section == 1 ? static_cast<int>(m_entranceNames.size()) : 0;
}

double LeftEntranceViewController::heightForRowAtIndexPath(pf::TableView&, const pf::IndexPath& indexPath)
{
    if (indexPath.section == 0)
        return EntranceLoginTypeTableViewCell::kRowHeight;
    return indexPath.section == 1 ? EntranceType0TableViewCell::kRowHeight : 0;
}

double LeftEntranceViewController::heightForHeaderInSection(pf::TableView&, int section)
{
    return section == 0 && pf::Device::current().systemVersionFloat() >= 7.0 ? kHeaderHeight : 0;
}

std::shared_ptr<pf::View> LeftEntranceViewController::viewForHeaderInSection(pf::TableView&, int)
{
    return std::make_shared<pf::View>();
}

std::shared_ptr<pf::TableViewCell> LeftEntranceViewController::cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.section == 0) {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<EntranceLoginTypeTableViewCell>(tableView);
        if (m_userInfo)
            cell->refreshCellWithImageURL(m_userInfo->avatar().text(), m_userInfo->nickname().text(), "user_info_prompt_view.png");
        else
            cell->refreshCell("icon_not_login.png", "点击登录", "user_info_prompt_view.png");
        return cell;
    }
    if (indexPath.section == 1) {
        auto cell = TableViewCellAddition::dequeOrCreateInTable<EntranceType0TableViewCell>(tableView);
        size_t row = static_cast<size_t>(indexPath.row);
        if (row < m_entranceNames.size())
            cell->refreshCell(m_entranceIconsString[row], m_entranceNames[row]);
        return cell;
    }
    return nullptr;
}

void LeftEntranceViewController::didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath)
{
    if (indexPath.section == 0 && indexPath.row == 0) {
        std::shared_ptr<pf::ViewController> next;
        if (m_userInfo)
            next = std::make_shared<UserPersonalCenterViewController>();
        else
            next = std::make_shared<UserLoggingViewController>();
        closeAndPush(next);
    } else if (indexPath.section == 1) {
        switch (indexPath.row) {
        case MyGifts: {
            auto screen = std::make_shared<MyGiftsViewController>();
            screen->view()->setBackgroundColor(pf::Color::gray());
            closeAndPush(screen);
            break;
        }
        case CheckUpdating:
            UpdatingCheckManager::sharedInstance()->checkBoxUpdating(true);
            break;
        case About:
            showAboutView();
            break;
        case Feedback: {
            auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserRefer);
            if (!address)
                break;
            std::shared_ptr<pf::ViewController> screen;
            if (webPageFactory()) {
                screen = webPageFactory()(*address);
            } else {
                auto page = std::make_shared<WebDetailPageViewController>();
                page->setWebDetailPageType(WebDetailPageViewController::kPortalPageType);
                page->setInfoKeeper({ *address });
                screen = page;
            }
            closeAndPush(screen);
            break;
        }
        default:
            break;
        }
    }
    tableView.deselectRowAtIndexPath(indexPath, true);
}

void LeftEntranceViewController::closeAndPush(const std::shared_ptr<pf::ViewController>& screen)
{
    auto container = superViewController();
    if (!container || !screen)
        return;
    container->showRootController(true);
    if (auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(container->rootViewController()))
        navigation->pushViewController(screen, true);
}

std::shared_ptr<pf::View> LeftEntranceViewController::showAboutView()
{
    auto window = pf::Window::keyWindow();
    if (!window)
        return nullptr;
    auto box = std::make_shared<pf::View>(pf::Rect { 40, 200, 240, 124 });
    box->setBackgroundColor(pf::Color::lightGray());
    box->setDisplayName(kAboutBoxName);

    auto title = std::make_shared<pf::Label>(pf::Rect { 0, 4, 240, 20 });
    title->setTextAlignment(pf::TextAlignment::Center);
    title->setText("关于");
    title->setTextColor(*ColorFactory::colorWithHexRGB("ffb701"));
    title->setBackgroundColor(pf::Color::clear());
    box->addSubview(title);

    auto line = std::make_shared<pf::View>(pf::Rect { 0, 30, 240, 1 });
    line->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
    box->addSubview(line);

    auto logo = std::make_shared<pf::ImageView>(pf::Rect { 88, 36, 64, 40 });
    logo->setImage(CustomControlApperanceCreator::bundleImage("logo.png"));
    box->addSubview(logo);

    auto version = std::make_shared<pf::Label>(pf::Rect { 10, 84, 220, 20 });
    version->setTextAlignment(pf::TextAlignment::Center);
    version->setBackgroundColor(pf::Color::clear());
    auto bundle = pf::Bundle::main();
    version->setText(std::string(kAboutVersionFormat) + (bundle ? bundle->shortVersion() : std::string()));
    box->addSubview(version);

    pf::Rect bounds = window->bounds();
    box->setCenter({ bounds.midX(), bounds.midY() });
    window->addSubview(box);
    box->setAlpha(1.0);
    pf::Animation::animate(kAboutFadeDuration,
        [box] {
            box->setHidden(false);
            box->setAlpha(0.0);
        },
        [box](bool) {
            box->removeFromSuperview();
            box->setHidden(true);
        });
    return box;
}
