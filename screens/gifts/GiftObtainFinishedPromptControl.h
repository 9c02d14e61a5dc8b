#pragma once

#include "platform/ui/Control.h"

#include <memory>
#include <string>

namespace pf {
class Button;
class Label;
class RichTextLabel;
class ViewController;
}

// The result over the gift detail screen after a claim: the gift, the code ("卡密") and, for a
// code picked up from those others released, the warning that it may already be used; with
// "复制卡密" (tag 11) and "取消".
//
// Rules:
// - "复制卡密" has no target: its action "didTouchButton:" goes up the responder chain to the
//   screen that shows the result.
// - "取消" asks the owner (held weakly) to "resetGiftObtainStatus", when it handles that action,
//   then hides the result.
// - The code and gift name are escaped before they go into the markup.
// - Type 0 (claimed): a 186-point box, buttons at y 240, no warning. Type 1 (picked up): a
//   200-point box, buttons at y 260, the warning shown. Any other type changes nothing.
class GiftObtainFinishedPromptControl : public pf::Control {
public:
    static constexpr int kCopyButtonTag = 11;

    // Builds the overlay with its box, texts and buttons.
    static std::shared_ptr<GiftObtainFinishedPromptControl> create(const pf::Rect& frame);
    explicit GiftObtainFinishedPromptControl(const pf::Rect& frame = {});

    void assignText(const std::string& code, const std::string& giftName, int controlType);
    void resetViewFrame(int controlType);

    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> owner) { m_superViewController = std::move(owner); }
    std::shared_ptr<pf::View> backView() const { return m_backView; }
    std::shared_ptr<pf::RichTextLabel> prompt() const { return m_prompt; }
    std::shared_ptr<pf::View> promptLine() const { return m_promptLine; }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title; }
    std::shared_ptr<pf::RichTextLabel> codeView() const { return m_codeView; }
    std::shared_ptr<pf::Label> warnningText() const { return m_warnningText; }
    std::shared_ptr<pf::Button> obtainButton() const { return m_obtainButton; }
    std::shared_ptr<pf::Button> cancleButton() const { return m_cancleButton; }

    void didTouchCancleButton();
    std::string dumpClassName() const override { return "GiftObtainFinishedPromptControl"; }

private:
    void addControls();

    std::weak_ptr<pf::ViewController> m_superViewController;
    std::shared_ptr<pf::View> m_backView;
    std::shared_ptr<pf::RichTextLabel> m_prompt;
    std::shared_ptr<pf::View> m_promptLine;
    std::shared_ptr<pf::RichTextLabel> m_title;
    std::shared_ptr<pf::RichTextLabel> m_codeView;
    std::shared_ptr<pf::Label> m_warnningText;
    std::shared_ptr<pf::Button> m_obtainButton;
    std::shared_ptr<pf::Button> m_cancleButton;
};
