#include "screens/account/UserLoggingViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "core/records/UserLoginInfo.h"
#include "core/views/PromptViewCreator.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "screens/account/LMLoginWebViewController.h"
#include "screens/account/UserRegisterViewController.h"


namespace {

constexpr const char* kLoginFailed = "登录失败，请稍后再试";

UserLoggingViewController::LMLoginFactory& lmLoginFactory()
{
    static UserLoggingViewController::LMLoginFactory factory;
    return factory;
}

}

void UserLoggingViewController::setLMLoginFactory(LMLoginFactory factory)
{
    lmLoginFactory() = std::move(factory);
}

UserLoggingViewController::UserLoggingViewController()
    : AccountFormViewController(kNibName, "帐号登录")
{
    registerNib();
    onAction("login:", [this](const std::shared_ptr<pf::View>&) { login(); });
    onAction("loginWithLM:", [this](const std::shared_ptr<pf::View>&) { loginWithLM(); });
    onAction("newUserRegister:", [this](const std::shared_ptr<pf::View>&) { newUserRegister(); });
}

UserLoggingViewController::~UserLoggingViewController()
{
    pf::NotificationCenter::defaultCenter().removeObserver(this);
    pf::RunLoop::main().cancelAll(this);
}

void UserLoggingViewController::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto root = std::make_shared<pf::View>(pf::Rect { 0, 0, 320, 416 });
        loader.setOwnerView(root);
        addFormField(loader, *root, "userName", "论坛帐号", 30, false);
        addFormField(loader, *root, "password", "密码", 80, true);
        addFormButton(loader, *root, "登录", { 20, 140, 280, 40 }, "login:", "ffb701");
        addFormButton(loader, *root, "LM帐号登录", { 20, 195, 135, 36 }, "loginWithLM:", "52acf9");
        addFormButton(loader, *root, "注册新用户", { 165, 195, 135, 36 }, "newUserRegister:", "cbcbcb");
    });
}

std::shared_ptr<UserLoggingViewController> UserLoggingViewController::self()
{
    return std::static_pointer_cast<UserLoggingViewController>(shared_from_this());
}

void UserLoggingViewController::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "userName")
        m_userName = std::dynamic_pointer_cast<pf::TextField>(view);
    else if (name == "password")
        m_password = std::dynamic_pointer_cast<pf::TextField>(view);
}

void UserLoggingViewController::login()
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserCredentials);
    if (!address)
        return;
    std::string name = userName() ? userName()->text() : std::string();
    std::string secret = password() ? password()->text() : std::string();
    m_networkRequstor = NetworkRequestor::create();
    m_networkRequstor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForUserLogin(name, secret, "password"), false, self());
}

void UserLoggingViewController::loginWithLM()
{
    auto navigation = navigationController();
    if (!navigation)
        return;
    auto screen = lmLoginFactory() ? lmLoginFactory()() : std::make_shared<LMLoginWebViewController>();
    if (screen)
        navigation->pushViewController(screen, true);
}

void UserLoggingViewController::newUserRegister()
{
    if (auto navigation = navigationController())
        navigation->pushViewController(std::make_shared<UserRegisterViewController>(), true);
}

void UserLoggingViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (!requestor)
        return;
    if (requestor == m_userLogoutPreviousLoginNetworkRequestor) {
        // Housekeeping only: the screen does not wait for it.
        m_userLogoutPreviousLoginNetworkRequestor.reset();
        return;
    }
    if (requestor != m_networkRequstor)
        return;
    m_networkRequstor.reset();
    auto reply = PortalReplyEnvelope::parse(data);
    auto info = accountFromReply<UserLoginInfo>(reply);
    if (!info) {
        PromptViewCreator::sharedInstance()->showPromptViewWithMessage(failureMessage(reply, kLoginFailed));
        return;
    }
    // The new token is kept first: a login whose token the disk does not take fails as a
    // refused one does, and the previous login stays as it was, on the portal too.
    auto previous = LoginManager::sharedInstance()->getUserToken();
    if (!userLoginFinished(reply.reply())) {
        PromptViewCreator::sharedInstance()->showPromptViewWithMessage(kLoginFailed);
        return;
    }
    logoutWithPreviousUserToken(previous, info->usertoken().text());
    m_userLoginInfo = info;
    showLoginSuccesedPromptText();
    auto keepAlive = self();
    pf::RunLoop::main().postDelayed(kDismissDelay, [keepAlive] { keepAlive->dismiss(); }, this);
}

bool UserLoggingViewController::logoutWithPreviousUserToken(const std::optional<std::string>& previous, const std::string& newToken)
{
    if (!previous || previous->empty() || *previous == newToken)
        return false;
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserLogout);
    if (!address)
        return false;
    // The new token is recorded by now: the logout carries the previous one as it was read.
    m_userLogoutPreviousLoginNetworkRequestor = NetworkRequestor::create();
    m_userLogoutPreviousLoginNetworkRequestor->startPostMethodURLConnectionWithUserToken(*address,
        NetworkParameterAssistant::parametersForUserLogout(), *previous, self());
    return true;
}

bool UserLoggingViewController::userLoginFinished(const pf::Value& reply)
{
    auto info = UserLoginInfo::itemFromDictionary(reply["body"]);
    if (!LoginManager::sharedInstance()->recordUserToken(info->usertoken().text()))
        return false;
    pf::NotificationCenter::defaultCenter().post(LoginManager::kUserLoginNotification, reply);
    return true;
}

void UserLoggingViewController::showLoginSuccesedPromptText()
{
    std::vector<std::string> lines {
        "<font size=13>欢迎回来.</font>",
        "<font size=15 color='#FF7200'>" + pf::RichTextLabel::escape(userName() ? userName()->text() : std::string()) + "</font>",
    };
    if (m_userLoginInfo && m_userLoginInfo->updatecredit()) {
        int coins = m_userLoginInfo->ext1() != 0 ? m_userLoginInfo->ext1() : m_userLoginInfo->ext2();
        lines.push_back("<font size=13>恭喜您获得了</font><font size=13 color='#FF7200'>" + std::to_string(coins)
            + "</font><font size=13>金币.</font>");
    }
    makePromptPanel({ 40, 100, 240, 200 }, lines);
    showPromptView();
}

void UserLoggingViewController::showPromptView()
{
    // The panel outlives this screen: it lies centred on the key window.
    auto panel = userAccountPromptView();
    auto window = pf::Window::keyWindow();
    if (!panel || !window)
        return;
    pf::Rect bounds = window->bounds();
    panel->setCenter({ bounds.midX(), bounds.midY() });
    fadeOutPromptPanel(window);
}

void UserLoggingViewController::dismiss()
{
    returnBelow(1);
}
