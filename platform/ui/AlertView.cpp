#include "platform/ui/AlertView.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/DumpAttributes.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

#include <algorithm>

namespace pf {

namespace {
    std::vector<std::shared_ptr<AlertView>>& queue()
    {
        static std::vector<std::shared_ptr<AlertView>> q;
        return q;
    }

    constexpr double AlertWidth = 270;
    constexpr double ButtonHeight = 44;
}

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
    std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles)
    : m_title(std::move(title))
    , m_message(std::move(message))
    , m_delegate(std::move(delegate))
{
    if (!cancelButtonTitle.empty()) {
        m_buttonTitles.push_back(std::move(cancelButtonTitle));
        m_cancelIndex = 0;
    }
    for (auto& t : otherButtonTitles)
        m_buttonTitles.push_back(std::move(t));
    setBackgroundColor(Color::rgb(0.97, 0.97, 0.97));
    layer().setCornerRadius(7);
}

AlertView::~AlertView() = default;

void AlertView::setTitle(const std::string& title)
{
    m_title = title;
    if (m_visible)
        buildContents();
}

void AlertView::setMessage(const std::string& message)
{
    m_message = message;
    if (m_visible)
        buildContents();
}

int AlertView::addButtonWithTitle(const std::string& title)
{
    m_buttonTitles.push_back(title);
    if (m_visible)
        buildContents();
    return static_cast<int>(m_buttonTitles.size()) - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const
{
    if (index < 0 || index >= numberOfButtons())
        return {};
    return m_buttonTitles[static_cast<size_t>(index)];
}

int AlertView::firstOtherButtonIndex() const
{
    int first = m_cancelIndex == 0 ? 1 : 0;
    return first < numberOfButtons() ? first : -1;
}

std::shared_ptr<Button> AlertView::buttonAtIndex(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_buttons.size()))
        return nullptr;
    return m_buttons[static_cast<size_t>(index)];
}

void AlertView::show()
{
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    auto& q = queue();
    if (std::find(q.begin(), q.end(), self) != q.end())
        return;
    m_dismissed = false;
    q.push_back(self);
    if (q.front() == self)
        present();
}

void AlertView::present()
{
    Rect screen = Screen::main().bounds();
    m_window = std::make_shared<Window>(screen);
    m_window->setWindowLevel(WindowLevel::Alert);
    auto dim = std::make_shared<View>(m_window->bounds());
    dim->setBackgroundColor(Color::rgb(0, 0, 0, 0.4));
    m_window->addSubview(dim);
    m_window->addSubview(sharedView());
    buildContents();
    m_visible = true;
    m_window->makeKeyAndVisible();
}

std::string AlertView::nameForMessages() const
{
    std::string text = m_title.empty() ? m_message : m_title;
    if (text.empty())
        return "the alert";
    std::replace(text.begin(), text.end(), '\n', ' ');
    return "the alert “" + text + "”";
}

void AlertView::buildContents()
{
    removeAllSubviews();
    // The dimmed window in front is the alert to a person, wherever a finger lands on it.
    setDisplayName(nameForMessages());
    if (m_window)
        m_window->setDisplayName(displayName());
    m_buttons.assign(m_buttonTitles.size(), nullptr);
    double y = 20;
    double inner = AlertWidth - 32;
    auto addText = [&](std::shared_ptr<Label>& label, const std::string& text, Font font) {
        label.reset();
        if (text.empty())
            return;
        label = std::make_shared<Label>();
        label->setText(text);
        label->setFont(font);
        label->setNumberOfLines(0);
        label->setTextAlignment(TextAlignment::Center);
        label->setDumpRole(DumpRole::Hidden); // the alert's line reports title and message
        Size s = label->sizeThatFits({ inner, 0 });
        label->setFrame({ 16, y, inner, s.height });
        addSubview(label);
        y += s.height + 6;
    };
    addText(m_titleLabel, m_title, Font::boldSystem(17));
    addText(m_messageLabel, m_message, Font::system(13));
    y += 14;

    // Two buttons sit side by side, the cancel button on the left; more are stacked with the
    // cancel button last.
    std::vector<int> order;
    for (int i = 0; i < numberOfButtons(); ++i)
        if (i != m_cancelIndex)
            order.push_back(i);
    if (m_cancelIndex >= 0) {
        if (numberOfButtons() == 2)
            order.insert(order.begin(), m_cancelIndex);
        else
            order.push_back(m_cancelIndex);
    }
    std::weak_ptr<View> weakSelf = sharedView();
    auto makeButton = [&](int index, Rect frame) {
        auto button = std::make_shared<Button>(ButtonType::System, frame);
        button->setTitle(m_buttonTitles[static_cast<size_t>(index)]);
        if (index == m_cancelIndex)
            button->setTitleFont(Font::boldSystem(17));
        button->addAction("alertButton", [weakSelf, index](const std::shared_ptr<Control>&) {
            if (auto alert = std::static_pointer_cast<AlertView>(weakSelf.lock()))
                alert->buttonTapped(index);
        }, ControlEvent::TouchUpInside);
        addSubview(button);
        m_buttons[static_cast<size_t>(index)] = button;
    };
    if (order.size() == 2) {
        makeButton(order[0], { 0, y, AlertWidth / 2, ButtonHeight });
        makeButton(order[1], { AlertWidth / 2, y, AlertWidth / 2, ButtonHeight });
        y += ButtonHeight;
    } else {
        for (int index : order) {
            makeButton(index, { 0, y, AlertWidth, ButtonHeight });
            y += ButtonHeight;
        }
    }
    Rect screen = m_window ? m_window->bounds() : Screen::main().bounds();
    setFrame({ (screen.width() - AlertWidth) / 2, (screen.height() - y) / 2, AlertWidth, y });
}

void AlertView::buttonTapped(int index)
{
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    if (m_dismissed)
        return;
    if (auto d = delegate())
        d->alertViewClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
}

void AlertView::dismissWithClickedButtonIndex(int index, bool animated)
{
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    auto& q = queue();
    if (m_dismissed || std::find(q.begin(), q.end(), self) == q.end())
        return;
    m_dismissed = true;
    if (auto d = delegate())
        d->alertViewWillDismissWithButtonIndex(*this, index);
    bool wasFront = !q.empty() && q.front() == self;
    q.erase(std::remove(q.begin(), q.end(), self), q.end());
    if (m_visible) {
        m_visible = false;
        removeFromSuperview();
        if (m_window) {
            m_window->setHidden(true);
            m_window->removeAllSubviews();
            m_window.reset();
        }
    }
    if (wasFront && !q.empty())
        q.front()->present();

    auto finish = [self, index] {
        if (auto d = self->delegate())
            d->alertViewDidDismissWithButtonIndex(*self, index);
    };
    if (animated && Animation::areAnimationsEnabled())
        RunLoop::main().postDelayed(DismissDuration, finish);
    else
        finish();
}

std::vector<std::shared_ptr<AlertView>> AlertView::pendingAlerts()
{
    return queue();
}

std::shared_ptr<AlertView> AlertView::visibleAlert()
{
    auto& q = queue();
    return !q.empty() && q.front()->m_visible ? q.front() : nullptr;
}

void AlertView::resetAll()
{
    auto q = std::move(queue());
    queue().clear();
    for (auto& alert : q) {
        alert->m_visible = false;
        alert->m_dismissed = true;
        alert->removeAllSubviews();
        alert->m_buttons.clear();
        if (alert->m_window) {
            alert->m_window->removeAllSubviews();
            alert->m_window.reset();
        }
    }
}

void AlertView::dumpAttributes(DumpAttributes& attributes) const
{
    if (!m_title.empty())
        attributes.text("title", m_title);
    if (!m_message.empty())
        attributes.text("message", m_message);
    View::dumpAttributes(attributes);
}

}
