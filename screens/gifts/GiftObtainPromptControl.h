#pragma once

#include "platform/ui/Control.h"

#include <memory>
#include <string>

namespace pf {
class Button;
class RichTextLabel;
class ViewController;
}

// The confirmation over the gift detail screen before a claim that costs gold coins or forum
// points: a white box on a dimmed backdrop asking the question, with "立刻领取" (tag 10) and
// "取消".
//
// Rules:
// - "立刻领取" has no target: its action "didTouchButton:" goes up the responder chain to the
//   screen that shows the prompt.
// - "取消" hides the prompt and asks the owner (held weakly) to "resetGiftObtainStatus", when
//   it handles that action.
// - The gift name is escaped before it goes into the question's markup.
// - The whole control is drawn at 80 % opacity; taps outside the buttons do nothing.
class GiftObtainPromptControl : public pf::Control {
public:
    static constexpr int kObtainButtonTag = 10;

    // Builds the overlay with its box, texts and buttons.
    static std::shared_ptr<GiftObtainPromptControl> create(const pf::Rect& frame);
    explicit GiftObtainPromptControl(const pf::Rect& frame = {});

    // Kind 0 free, 1 gold coins, 2 forum points; any other kind leaves the question.
    void assignText(int cost, int extcreditType, const std::string& giftName);

    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> owner) { m_superViewController = std::move(owner); }
    std::shared_ptr<pf::View> backView() const { return m_backView; }
    std::shared_ptr<pf::RichTextLabel> prompt() const { return m_prompt; }
    std::shared_ptr<pf::View> promptLine() const { return m_promptLine; }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title; }
    std::shared_ptr<pf::Button> obtainButton() const { return m_obtainButton; }
    std::shared_ptr<pf::Button> cancleButton() const { return m_cancleButton; }

    void didTouchCancleButton();
    std::string dumpClassName() const override { return "GiftObtainPromptControl"; }

private:
    void addControls();

    std::weak_ptr<pf::ViewController> m_superViewController;
    std::shared_ptr<pf::View> m_backView;
    std::shared_ptr<pf::RichTextLabel> m_prompt;
    std::shared_ptr<pf::View> m_promptLine;
    std::shared_ptr<pf::RichTextLabel> m_title;
    std::shared_ptr<pf::Button> m_obtainButton;
    std::shared_ptr<pf::Button> m_cancleButton;
};
