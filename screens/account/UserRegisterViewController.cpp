#include "screens/account/UserRegisterViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/managers/LoginManager.h"
#include "core/records/UserRegisterInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/TextField.h"

#include <algorithm>

namespace {
constexpr const char* kRegisterFailed = "注册失败，请稍后再试";
}

UserRegisterViewController::UserRegisterViewController()
    : AdaptedViewController(kNibName)
{
    registerNib();
    onAction("userRegister:", [this](const std::shared_ptr<pf::View>&) { userRegister(); });
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
}

UserRegisterViewController::~UserRegisterViewController()
{
    pf::RunLoop::main().cancelAll(this);
}

void UserRegisterViewController::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto root = std::make_shared<pf::View>(pf::Rect { 0, 0, 320, 416 });
        loader.setOwnerView(root);
        auto field = [&](const char* outlet, const char* placeholder, double y, bool secure) {
            auto f = std::make_shared<pf::TextField>(pf::Rect { 20, y, 280, 40 });
            f->setPlaceholder(placeholder);
            f->setBorderStyle(pf::TextBorderStyle::RoundedRect);
            f->setBackgroundColor(pf::Color::white());
            f->setSecureTextEntry(secure);
            root->addSubview(loader.outlet(outlet, f));
        };
        field("email", "邮箱", 20, false);
        field("nickName", "昵称", 70, false);
        field("password", "密码", 120, true);
        field("verifiedPassword", "确认密码", 170, true);
        auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 20, 230, 280, 40 });
        button->setTitle("注册", pf::ControlState::Normal);
        button->setTitleFont(pf::Font::system(15));
        button->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
        root->addSubview(button);
        loader.action(button, "userRegister:");
    });
}

std::shared_ptr<UserRegisterViewController> UserRegisterViewController::self()
{
    return std::static_pointer_cast<UserRegisterViewController>(shared_from_this());
}

void UserRegisterViewController::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    auto field = std::dynamic_pointer_cast<pf::TextField>(view);
    if (name == "email")
        m_email = field;
    else if (name == "password")
        m_password = field;
    else if (name == "verifiedPassword")
        m_verifiedPassword = field;
    else if (name == "nickName")
        m_nickName = field;
}

void UserRegisterViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle("用户注册");
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    fetchLeftNavigationItem();
    for (const auto& field : { email(), password(), verifiedPassword(), nickName() }) {
        if (field)
            field->setDelegate(self());
    }
}

void UserRegisterViewController::fetchLeftNavigationItem()
{
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(self(), "back.png", CustomControlApperanceCreator::backImageFrame(),
        "popViewController:");
}

void UserRegisterViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

bool UserRegisterViewController::textFieldShouldReturn(pf::TextField&)
{
    for (const auto& field : { email(), password(), verifiedPassword(), nickName() }) {
        if (field)
            field->resignFirstResponder();
    }
    return true;
}

void UserRegisterViewController::userRegister()
{
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::UserRegister);
    if (!address)
        return;
    auto text = [](const std::shared_ptr<pf::TextField>& field) { return field ? field->text() : std::string(); };
    m_networkRequstor = NetworkRequestor::create();
    m_networkRequstor->startPostMethodURLConnection(*address,
        NetworkParameterAssistant::parametersForUserRegister(text(email()), text(nickName()), text(password()), text(verifiedPassword())),
        false, self());
}

void UserRegisterViewController::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (!requestor || requestor != m_networkRequstor)
        return;
    m_networkRequstor.reset();
    auto reply = PortalReplyEnvelope::parse(data);
    std::shared_ptr<UserRegisterInfo> info;
    if (reply.isSuccess() && reply.body().isDictionary())
        info = UserRegisterInfo::itemFromDictionary(reply.body());
    if (!info || info->usertoken().text().empty()) {
        std::string message = reply.message();
        showErrorPromptText(!reply.isSuccess() && !message.empty() ? message : kRegisterFailed);
        return;
    }
    showRegisterSuccesedPromptText();
    LoginManager::sharedInstance()->recordUserToken(info->usertoken().text());
    auto keepAlive = self();
    pf::Value whole = reply.reply();
    auto& loop = pf::RunLoop::main();
    loop.postDelayed(kDismissDelay, [keepAlive] { keepAlive->dismiss(); }, this);
    loop.postDelayed(kLoginNotificationDelay, [keepAlive, whole] { keepAlive->postUserLoginNotification(whole); }, this);
}

void UserRegisterViewController::postUserLoginNotification(const pf::Value& reply)
{
    pf::NotificationCenter::defaultCenter().post(LoginManager::kUserLoginNotification, reply);
}

void UserRegisterViewController::dismiss()
{
    // Back to the screen below the login screen: this screen and the login screen both go.
    auto navigation = navigationController();
    if (!navigation)
        return;
    const auto& stack = navigation->viewControllers();
    auto it = std::find(stack.begin(), stack.end(), sharedController());
    if (it == stack.end() || it - stack.begin() < 2)
        return;
    navigation->popToViewController(*(it - 2), true);
}

void UserRegisterViewController::showErrorPromptText(const std::string& message)
{
    m_userAccountPromptView = std::make_shared<UserAccountPromptView>(pf::Rect { 40, 160, 240, 100 });
    m_userAccountPromptView->setBackgroundColor(pf::Color::gray());
    m_userAccountPromptView->assignText({ "<font size=13>" + pf::RichTextLabel::escape(message) + "</font>" });
    showPromptView();
}

void UserRegisterViewController::showRegisterSuccesedPromptText()
{
    m_userAccountPromptView = std::make_shared<UserAccountPromptView>(pf::Rect { 40, 100, 240, 200 });
    m_userAccountPromptView->setBackgroundColor(pf::Color::gray());
    m_userAccountPromptView->assignText({
        "<font size=13>感谢您注册</font><font size=13 color='#FF7200'>Ostvik论坛</font>",
        "<font size=13>现在将以初级菜鸟的身份登录</font>",
    });
    showPromptView();
}

void UserRegisterViewController::showPromptView()
{
    auto panel = m_userAccountPromptView;
    if (!panel)
        return;
    view()->addSubview(panel);
    panel->setAlpha(1.0);
    pf::Animation::animate(3.0,
        [panel] {
            panel->setHidden(false);
            panel->setAlpha(0.0);
        },
        [panel](bool) {
            panel->removeFromSuperview();
            panel->setHidden(true);
        });
}
