#pragma once

#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class DDMenuController;
class UserInfo;

namespace pf {
class PanGestureRecognizer;
class TableView;
struct Notification;
}

// The side menu: the user's account row and four entries ("我的礼包", "检查更新", "关于",
// "反馈") on a dark page, under the centre of the side-menu container. It keeps the account
// row in step with the login state ("UserLogin", "UserLogout") and opens the chosen screen on
// the container's centre navigation controller, closing the menu first.
//
// Rules:
// - The account row pushes the personal centre while a user is known, else the login screen.
// - "检查更新" and "关于" leave the menu open; the other rows close it before they push.
// - The avatar loads through the image cache (http and https only, asynchronously), so a slow
//   avatar host never holds up the screen.
// - A drag on the menu moves the centre view as a drag on the centre does.
// - The container is not owned.
class LeftEntranceViewController : public pf::ViewController,
                                   public pf::TableViewDataSource,
                                   public pf::TableViewDelegate {
public:
    static constexpr const char* kAboutVersionFormat = "OstvikPellomar V";
    static constexpr double kAboutFadeDuration = 3.0;
    // What messages about the screen call the About box.
    static constexpr const char* kAboutBoxName = "the About box";
    static constexpr double kHeaderHeight = 20;

    // A replacement of the web page screen, for tests (none: the feedback page's own screen).
    using WebPageFactory = std::function<std::shared_ptr<pf::ViewController>(const std::string& address)>;
    static void setWebPageFactory(WebPageFactory factory);

    LeftEntranceViewController();
    ~LeftEntranceViewController() override;

    void viewDidLoad() override;

    std::shared_ptr<DDMenuController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<DDMenuController> controller) { m_superViewController = std::move(controller); }

    void loginFinished(const pf::Notification& notification);
    void logoutFinished(const pf::Notification& notification);
    // The About box, centred on the key window and fading out; returned for those who look.
    std::shared_ptr<pf::View> showAboutView();

    // --- table ---
    int numberOfSectionsInTableView(pf::TableView& tableView) override;
    int numberOfRowsInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;
    double heightForHeaderInSection(pf::TableView& tableView, int section) override;
    std::shared_ptr<pf::View> viewForHeaderInSection(pf::TableView& tableView, int section) override;
    void didSelectRowAtIndexPath(pf::TableView& tableView, const pf::IndexPath& indexPath) override;

    std::shared_ptr<pf::TableView> tableView() const { return m_tableView; }
    std::shared_ptr<pf::PanGestureRecognizer> pan() const { return m_pan; }
    std::shared_ptr<UserInfo> userInfo() const { return m_userInfo; }
    const std::vector<std::string>& entranceNames() const { return m_entranceNames; }

private:
    void addPanGestureRecognizer();
    void assignEntranceInfo();
    void addTableView();
    // Closes the menu and pushes `screen` on the centre navigation controller.
    void closeAndPush(const std::shared_ptr<pf::ViewController>& screen);

    std::weak_ptr<DDMenuController> m_superViewController;
    std::shared_ptr<pf::PanGestureRecognizer> m_pan;
    std::shared_ptr<pf::TableView> m_tableView;
    std::shared_ptr<UserInfo> m_userInfo;
    std::vector<std::string> m_entranceIconsString;
    std::vector<std::string> m_entranceNames;
};
