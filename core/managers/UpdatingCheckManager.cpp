#include "core/managers/UpdatingCheckManager.h"

#include "core/NetworkParameterAssistant.h"
#include "core/NetworkRequestor.h"
#include "core/PortalReplyEnvelope.h"
#include "core/records/BoxUpdatingInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Url.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

namespace {

pf::Color hex(const char* text)
{
    return ColorFactory::colorWithHexRGB(text).value_or(pf::Color::clear());
}

std::shared_ptr<pf::Label> centredLabel(const pf::Rect& frame, const std::string& text)
{
    auto label = std::make_shared<pf::Label>(frame);
    label->setBackgroundColor(pf::Color::clear());
    label->setTextAlignment(pf::TextAlignment::Center);
    label->setText(text);
    return label;
}

std::shared_ptr<pf::Button> panelButton(const pf::Rect& frame, const char* background, const char* title)
{
    auto button = std::make_shared<pf::Button>(pf::ButtonType::System, frame);
    button->setBackgroundColor(hex(background));
    button->setTitle(title);
    button->setTitleColor(pf::Color::white());
    return button;
}

// Why a reply offers no version, for the log.
std::string failureReason(const PortalReplyEnvelope& envelope, size_t replyBytes)
{
    if (!envelope.isObject())
        return "the reply (" + std::to_string(replyBytes) + " bytes) is not a portal reply";
    if (envelope.isSuccess())
        return "the reply's body is not a dictionary";
    std::string message = envelope.message();
    return message.empty() ? "the portal refused it without a message" : "the portal refused it: " + message;
}

// Centres `view` on the key window and adds it there; false without a key window.
bool putOnKeyWindow(const std::shared_ptr<pf::View>& view)
{
    auto window = pf::Window::keyWindow();
    if (!window)
        return false;
    pf::Rect bounds = window->bounds();
    view->setCenter({ bounds.midX(), bounds.midY() });
    window->addSubview(view);
    return true;
}

}

std::shared_ptr<UpdatingCheckManager> UpdatingCheckManager::sharedInstance()
{
    static const std::shared_ptr<UpdatingCheckManager> instance(new UpdatingCheckManager());
    return instance;
}

void UpdatingCheckManager::checkBoxUpdating(bool isExplicit)
{
    m_isUpadtedInfoNeeded = isExplicit;
    auto address = NetworkParameterAssistant::getRequestAddress(NetworkParameterAssistant::VersionUpdate);
    if (!address) {
        pf::Log::line("UpdatingCheckManager: no portal address for the version check");
        return;
    }
    m_updatingCheckNetworkRequestor = NetworkRequestor::create();
    m_updatingCheckNetworkRequestor->startPostMethodURLConnection(*address, NetworkParameterAssistant::parametersForBoxUpdating(),
        false, std::static_pointer_cast<NetworkRequestorDelegate>(shared_from_this()));
}

void UpdatingCheckManager::networkRequestorDidFinishWithData(const std::shared_ptr<NetworkRequestor>& requestor, const pf::Bytes& data)
{
    if (requestor && requestor == m_updatingCheckNetworkRequestor)
        requestUpdaingBoxFinished(data);
}

void UpdatingCheckManager::requestUpdaingBoxFinished(const pf::Bytes& data)
{
    if (m_updateCheckingView) {
        m_updateCheckingView->removeFromSuperview();
        m_updateCheckingView.reset();
    }
    auto envelope = PortalReplyEnvelope::parse(data);
    if (envelope.isSuccess() && envelope.body().isNone()) {
        // The portal has nothing to offer: an explicit check still gives the user an answer.
        if (m_isUpadtedInfoNeeded)
            showVersionUpdatingView();
        return;
    }
    if (!envelope.isSuccess() || !envelope.body().isDictionary()) {
        pf::Log::format("UpdatingCheckManager: the version check failed: %s", failureReason(envelope, data.size()).c_str());
        return;
    }
    m_boxUpdatingInfo = BoxUpdatingInfo::itemFromDictionary(envelope.body());
    if (m_boxUpdatingInfo->status() == 1)
        showVersionUpdatingView(m_boxUpdatingInfo->version().text());
    else if (m_isUpadtedInfoNeeded)
        showVersionUpdatingView();
}

void UpdatingCheckManager::showVersionUpdatingView(const std::string& version)
{
    // One offer at a time: a newer answer takes the place of a panel still up.
    dismissVersionUpdatingView();

    auto panel = std::make_shared<pf::View>(pf::Rect { 40, 200, 240, 160 });
    panel->setBackgroundColor(pf::Color::lightGray());
    panel->setDisplayName(kPanelName);

    auto title = centredLabel({ 0, 4, 240, 20 }, "关于");
    title->setTextColor(hex("ffb701"));
    panel->addSubview(title);

    auto rule = std::make_shared<pf::View>(pf::Rect { 0, 30, 240, 1 });
    rule->setBackgroundColor(hex("ffb701"));
    panel->addSubview(rule);

    auto logo = std::make_shared<pf::ImageView>(pf::Rect { 88, 36, 64, 40 });
    logo->setImage(CustomControlApperanceCreator::bundleImage("logo.png"));
    panel->addSubview(logo);

    auto bundle = pf::Bundle::main();
    panel->addSubview(centredLabel({ 10, 84, 220, 20 }, "OstvikPellomar V" + (bundle ? bundle->shortVersion() : std::string())));

    auto offered = std::make_shared<pf::RichTextLabel>(pf::Rect { 10, 104, 220, 20 });
    offered->setTextAlignment(pf::TextAlignment::Center);
    offered->setText("<font size=10>发现新版本 </font><font size=10 color='#FF7200'>V" + pf::RichTextLabel::escape(version) + "</font>");
    panel->addSubview(offered);

    std::weak_ptr<UpdatingCheckManager> weakSelf = weak_from_this();
    auto cancel = panelButton({ 36, 130, 80, 20 }, "cbcbcb", kCancelTitle);
    cancel->addAction("didTouchVersionUpdatingCancleButton", [weakSelf](const std::shared_ptr<pf::Control>&) {
        if (auto self = weakSelf.lock())
            self->didTouchVersionUpdatingCancleButton();
    }, pf::ControlEvent::TouchUpInside);
    panel->addSubview(cancel);

    auto confirm = panelButton({ 124, 130, 80, 20 }, "ffb701", kConfirmTitle);
    confirm->addAction("didTouchVersionUpdatingConfirmButton", [weakSelf](const std::shared_ptr<pf::Control>&) {
        if (auto self = weakSelf.lock())
            self->didTouchVersionUpdatingConfirmButton();
    }, pf::ControlEvent::TouchUpInside);
    panel->addSubview(confirm);

    if (putOnKeyWindow(panel))
        m_versionUpdatingView = panel;
}

void UpdatingCheckManager::showVersionUpdatingView()
{
    auto toast = std::make_shared<pf::View>(pf::Rect { 40, 200, 240, 40 });
    toast->setBackgroundColor(pf::Color::lightGray());
    auto label = std::make_shared<pf::Label>(pf::Rect { 10, 10, 220, 20 });
    label->setBackgroundColor(pf::Color::clear());
    label->setText(kLatestVersionMessage);
    toast->addSubview(label);
    if (!putOnKeyWindow(toast))
        return;
    pf::Animation::animate(kToastDuration,
        [toast] {
            toast->setHidden(false);
            toast->setAlpha(0.0);
        },
        [toast](bool) {
            toast->removeFromSuperview();
            toast->setHidden(true);
        });
}

void UpdatingCheckManager::didTouchVersionUpdatingCancleButton()
{
    dismissVersionUpdatingView();
}

void UpdatingCheckManager::didTouchVersionUpdatingConfirmButton()
{
    dismissVersionUpdatingView();
    if (!m_boxUpdatingInfo || m_boxUpdatingInfo->downloadURL().text().empty())
        return;
    auto url = pf::Url::fromString(installAddress(m_boxUpdatingInfo->downloadURL().text()));
    if (!url) {
        pf::Log::line("UpdatingCheckManager: the install address is not a valid address");
        return;
    }
    pf::Application::shared().openURL(*url);
}

void UpdatingCheckManager::dismissVersionUpdatingView()
{
    if (m_versionUpdatingView)
        m_versionUpdatingView->removeFromSuperview();
    m_versionUpdatingView.reset();
}

void UpdatingCheckManager::showUpdatingCheckingPromptView()
{
    if (m_updateCheckingView)
        m_updateCheckingView->removeFromSuperview();
    auto panel = std::make_shared<pf::View>(pf::Rect { 40, 220, 240, 40 });
    panel->setBackgroundColor(pf::Color::lightGray());
    auto image = std::make_shared<pf::ImageView>(pf::Rect { 10, 10, 20, 20 });
    image->setImage(CustomControlApperanceCreator::bundleImage("uodate_checking.png"));
    panel->addSubview(image);
    auto label = std::make_shared<pf::Label>(pf::Rect { 40, 10, 190, 20 });
    label->setBackgroundColor(pf::Color::clear());
    label->setText("正在检查新版本...");
    panel->addSubview(label);
    putOnKeyWindow(panel);
    m_updateCheckingView = panel;
}

std::string UpdatingCheckManager::installAddress(const std::string& downloadURL)
{
    return kInstallAddressPrefix + pf::Url::escapeComponent(downloadURL);
}
