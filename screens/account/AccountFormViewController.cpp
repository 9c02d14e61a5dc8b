#include "screens/account/AccountFormViewController.h"

#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "core/views/UserAccountPromptView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NibLoader.h"
#include "platform/ui/TextField.h"

#include <algorithm>

AccountFormViewController::AccountFormViewController(std::string nibName, std::string title)
    : AdaptedViewController(std::move(nibName))
    , m_title(std::move(title))
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { popViewController(); });
}

void AccountFormViewController::addFormField(pf::NibLoader& loader, pf::View& root, const char* outlet, const char* placeholder,
    double y, bool secure)
{
    auto field = std::make_shared<pf::TextField>(pf::Rect { 20, y, 280, 40 });
    field->setPlaceholder(placeholder);
    field->setBorderStyle(pf::TextBorderStyle::RoundedRect);
    field->setBackgroundColor(pf::Color::white());
    field->setSecureTextEntry(secure);
    root.addSubview(loader.outlet(outlet, field));
}

void AccountFormViewController::addFormButton(pf::NibLoader& loader, pf::View& root, const char* title, const pf::Rect& frame,
    const char* action, const char* background)
{
    auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, frame);
    button->setTitle(title, pf::ControlState::Normal);
    button->setTitleFont(pf::Font::system(15));
    button->setBackgroundColor(ColorFactory::colorWithHexRGB(background));
    root.addSubview(button);
    loader.action(button, action);
}

void AccountFormViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle(m_title);
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(sharedController(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    auto self = std::static_pointer_cast<AccountFormViewController>(shared_from_this());
    for (const auto& field : formFields()) {
        if (field)
            field->setDelegate(self);
    }
}

void AccountFormViewController::popViewController()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}

bool AccountFormViewController::textFieldShouldReturn(pf::TextField&)
{
    for (const auto& field : formFields()) {
        if (field)
            field->resignFirstResponder();
    }
    return true;
}

std::string AccountFormViewController::failureMessage(const PortalReplyEnvelope& reply, const std::string& fallback)
{
    std::string message = reply.message();
    return !reply.isSuccess() && !message.empty() ? message : fallback;
}

void AccountFormViewController::makePromptPanel(const pf::Rect& frame, const std::vector<std::string>& lines)
{
    m_userAccountPromptView = std::make_shared<UserAccountPromptView>(frame);
    m_userAccountPromptView->setBackgroundColor(pf::Color::gray());
    m_userAccountPromptView->assignText(lines);
}

void AccountFormViewController::fadeOutPromptPanel(const std::shared_ptr<pf::View>& host)
{
    auto panel = m_userAccountPromptView;
    if (!panel || !host)
        return;
    host->addSubview(panel);
    panel->setAlpha(1.0);
    pf::Animation::animate(kPanelFadeDuration,
        [panel] {
            panel->setHidden(false);
            panel->setAlpha(0.0);
        },
        [panel](bool) {
            panel->removeFromSuperview();
            panel->setHidden(true);
        });
}

void AccountFormViewController::returnBelow(size_t screensBelow)
{
    auto navigation = navigationController();
    if (!navigation)
        return;
    const auto& stack = navigation->viewControllers();
    auto it = std::find(stack.begin(), stack.end(), sharedController());
    if (it == stack.end() || static_cast<size_t>(it - stack.begin()) < screensBelow)
        return;
    navigation->popToViewController(*(it - static_cast<std::ptrdiff_t>(screensBelow)), true);
}
