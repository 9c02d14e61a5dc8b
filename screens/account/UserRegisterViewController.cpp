#include "screens/account/UserRegisterViewController.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/managers/LoginManager.h"
#include "core/records/UserRegisterInfo.h"
#include "platform/foundation/RunLoop.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/TextField.h"


namespace {
constexpr const char* kRegisterFailed = "注册失败，请稍后再试";
// The login screen's own text, for an account made whose login cannot be kept.
constexpr const char* kLoginFailed = "登录失败，请稍后再试";
}

UserRegisterViewController::UserRegisterViewController()
    : AccountFormViewController(kNibName, "用户注册")
{
    registerNib();
    onAction("userRegister:", [this](const std::shared_ptr<pf::View>&) { userRegister(); });
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
        addFormField(loader, *root, "email", "邮箱", 20, false);
        addFormField(loader, *root, "nickName", "昵称", 70, false);
        addFormField(loader, *root, "password", "密码", 120, true);
        addFormField(loader, *root, "verifiedPassword", "确认密码", 170, true);
        addFormButton(loader, *root, "注册", { 20, 230, 280, 40 }, "userRegister:", "ffb701");
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
    auto info = accountFromReply<UserRegisterInfo>(reply);
    if (!info) {
        showErrorPromptText(failureMessage(reply, kRegisterFailed));
        return;
    }
    // The account is made; a token the disk does not take (a full disk) leaves it logged out,
    // and the panel says the login failed rather than announce it.
    auto manager = LoginManager::sharedInstance();
    if (!manager->recordUserToken(info->usertoken().text())) {
        showErrorPromptText(kLoginFailed);
        return;
    }
    showRegisterSuccesedPromptText();
    uint64_t generation = manager->loginGeneration();
    auto keepAlive = self();
    pf::Value whole = reply.reply();
    auto& loop = pf::RunLoop::main();
    loop.postDelayed(kDismissDelay, [keepAlive] { keepAlive->dismiss(); }, this);
    loop.postDelayed(kLoginNotificationDelay,
        [keepAlive, whole, generation] { keepAlive->postUserLoginNotification(whole, generation); }, this);
}

void UserRegisterViewController::postUserLoginNotification(const pf::Value& reply, uint64_t loginGeneration)
{
    LoginManager::sharedInstance()->postUserLogin(reply, loginGeneration);
}

void UserRegisterViewController::dismiss()
{
    // Back to the screen below the login screen: this screen and the login screen both go.
    returnBelow(2);
}

void UserRegisterViewController::showErrorPromptText(const std::string& message)
{
    makePromptPanel({ 40, 160, 240, 100 }, { "<font size=13>" + pf::RichTextLabel::escape(message) + "</font>" });
    fadeOutPromptPanel(view());
}

void UserRegisterViewController::showRegisterSuccesedPromptText()
{
    makePromptPanel({ 40, 100, 240, 200 },
        {
            "<font size=13>感谢您注册</font><font size=13 color='#FF7200'>Ostvik论坛</font>",
            "<font size=13>现在将以初级菜鸟的身份登录</font>",
        });
    fadeOutPromptPanel(view());
}
