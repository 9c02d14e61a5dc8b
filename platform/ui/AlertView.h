#pragma once

#include "platform/ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace pf {

class AlertViewDelegate;
class Button;
class Label;
class Window;

// A modal message with a title, a message and buttons, shown in a window of the alert level
// that covers the screen (nothing beneath can be touched while it shows).
//
// Rules:
// - Button indexes: the cancel button (when given) is 0, the other buttons follow in order.
// - `show` keeps the alert alive until it is dismissed. Alerts shown while another one is on
//   screen wait in line and appear one after the other.
// - A tap on a button reports clicked, then dismisses with that index: willDismiss, the alert
//   leaves the screen, then didDismiss (after `DismissDuration` on the platform clock when
//   animated and animations are on, at once otherwise).
// - The delegate is held weakly.
// - Messages about the screen call a shown alert, and what its window holds, "the alert “TITLE”"
//   (its message when it has no title, line breaks read as spaces; "the alert" with neither).
class AlertView : public View {
public:
    AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
        std::string cancelButtonTitle, std::vector<std::string> otherButtonTitles = {});
    ~AlertView() override;

    static constexpr double DismissDuration = 0.2;

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    const std::string& message() const { return m_message; }
    void setMessage(const std::string& message);
    std::shared_ptr<AlertViewDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<AlertViewDelegate> delegate) { m_delegate = std::move(delegate); }

    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return static_cast<int>(m_buttonTitles.size()); }
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    int firstOtherButtonIndex() const;
    // The button shown for an index (null before the alert is shown or for a bad index).
    std::shared_ptr<Button> buttonAtIndex(int index) const;

    void show();
    void dismissWithClickedButtonIndex(int index, bool animated);
    bool isVisible() const { return m_visible; }

    // Alerts shown and not yet dismissed, the one on screen first.
    static std::vector<std::shared_ptr<AlertView>> pendingAlerts();
    static std::shared_ptr<AlertView> visibleAlert();
    // Test set-up: forgets every alert without telling delegates.
    static void resetAll();

    void dumpAttributes(DumpAttributes& attributes) const override;

private:
    void present();
    void buildContents();
    void buttonTapped(int index);
    std::string nameForMessages() const;

    std::string m_title;
    std::string m_message;
    std::weak_ptr<AlertViewDelegate> m_delegate;
    std::vector<std::string> m_buttonTitles;
    int m_cancelIndex { -1 };
    std::vector<std::shared_ptr<Button>> m_buttons;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<Label> m_messageLabel;
    std::shared_ptr<Window> m_window;
    bool m_visible { false };
    bool m_dismissed { false };
};

}
