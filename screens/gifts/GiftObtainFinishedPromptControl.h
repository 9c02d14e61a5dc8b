#pragma once

#include "screens/gifts/GiftPromptPanelControl.h"

#include <memory>
#include <string>

namespace pf {
class Label;
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
class GiftObtainFinishedPromptControl : public GiftPromptPanelControl {
public:
    static constexpr int kCopyButtonTag = 11;
    // What messages about the screen call the result.
    static constexpr const char* kResultName = "the claim result";

    // Builds the overlay with its box, texts and buttons.
    static std::shared_ptr<GiftObtainFinishedPromptControl> create(const pf::Rect& frame);
    explicit GiftObtainFinishedPromptControl(const pf::Rect& frame = {});

    void assignText(const std::string& code, const std::string& giftName, int controlType);
    void resetViewFrame(int controlType);

    std::shared_ptr<pf::RichTextLabel> codeView() const { return m_codeView; }
    std::shared_ptr<pf::Label> warnningText() const { return m_warnningText; }

    void didTouchCancleButton() override;
    std::string dumpClassName() const override { return "GiftObtainFinishedPromptControl"; }

private:
    void addControls();

    std::shared_ptr<pf::RichTextLabel> m_codeView;
    std::shared_ptr<pf::Label> m_warnningText;
};
