#pragma once

#include "screens/gifts/GiftPromptPanelControl.h"

#include <memory>
#include <string>

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
class GiftObtainPromptControl : public GiftPromptPanelControl {
public:
    static constexpr int kObtainButtonTag = 10;
    // What messages about the screen call the prompt.
    static constexpr const char* kPromptName = "the claim prompt";

    // Builds the overlay with its box, texts and buttons.
    static std::shared_ptr<GiftObtainPromptControl> create(const pf::Rect& frame);
    explicit GiftObtainPromptControl(const pf::Rect& frame = {});

    // Kind 0 free, 1 gold coins, 2 forum points; any other kind leaves the question.
    void assignText(int cost, int extcreditType, const std::string& giftName);
    // A gift that costs both: the claim charges both, and the question names both.
    void assignBothCosts(int gold, int points, const std::string& giftName);

    void didTouchCancleButton() override;
    std::string dumpClassName() const override { return "GiftObtainPromptControl"; }

private:
    void addControls();
};
