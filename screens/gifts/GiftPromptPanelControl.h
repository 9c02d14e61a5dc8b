#pragma once

#include "platform/ui/Control.h"

#include <memory>
#include <string>

namespace pf {
class Button;
class RichTextLabel;
class ViewController;
}

// The frame the gift detail screen's claim overlays share: a white box on a dimmed backdrop
// with an orange heading over an orange rule, a centred text and two buttons at the bottom.
//
// Rules:
// - The first button has no target: its action "didTouchButton:" goes up the responder chain
//   to the screen that shows the overlay, which tells the buttons apart by their tags.
// - The second button, "取消", calls didTouchCancleButton(); each overlay decides what that
//   does, mostly asking its owner (held weakly) to "resetGiftObtainStatus".
// - The whole control is drawn at 80 % opacity; taps outside the buttons do nothing.
// - Subclasses build in order: addPanel(), their own views, then addButtons(), so that the
//   buttons lie above everything else in the box.
class GiftPromptPanelControl : public pf::Control {
public:
    explicit GiftPromptPanelControl(const pf::Rect& frame = {});

    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> owner) { m_superViewController = std::move(owner); }
    std::shared_ptr<pf::View> backView() const { return m_backView; }
    std::shared_ptr<pf::RichTextLabel> prompt() const { return m_prompt; }
    std::shared_ptr<pf::View> promptLine() const { return m_promptLine; }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title; }
    std::shared_ptr<pf::Button> obtainButton() const { return m_obtainButton; }
    std::shared_ptr<pf::Button> cancleButton() const { return m_cancleButton; }

    virtual void didTouchCancleButton() = 0;

protected:
    // The box `boxHeight` tall with `heading` above the rule and a title text `titleHeight` tall.
    void addPanel(const std::string& heading, double boxHeight, double titleHeight);
    // The two buttons at `y`: the first titled `actionTitle` and tagged `actionTag`, then "取消".
    void addButtons(const std::string& actionTitle, int actionTag, double y);
    // Asks the owner to forget the claim in progress, when it handles that action.
    void resetOwnersGiftObtainStatus();

private:
    std::weak_ptr<pf::ViewController> m_superViewController;
    std::shared_ptr<pf::View> m_backView;
    std::shared_ptr<pf::RichTextLabel> m_prompt;
    std::shared_ptr<pf::View> m_promptLine;
    std::shared_ptr<pf::RichTextLabel> m_title;
    std::shared_ptr<pf::Button> m_obtainButton;
    std::shared_ptr<pf::Button> m_cancleButton;
};
