#pragma once

#include "platform/ui/ViewController.h"

#include <memory>
#include <string>
#include <vector>

class GiftDetailViewController;
class VerificationCodeInfo;

namespace pf {
class Button;
class ImageView;
}

// The word-picking captcha every claim of a code passes through. Its owner, the gift detail
// screen, adds the overlay's view to its own and sends `viewWillAppear` each time it shows it:
// the question picture on top, a grid of word tiles cut from the captcha picture, and a row of
// four slots that fill as the user taps tiles. Confirming hands the words behind the picked
// tiles, in pick order, to the owner.
//
// Rules:
// - Each showing starts with no picks and an empty row, and refuses touches for the first
//   second.
// - At most four picks; the same tile may be picked again; a fourth pick does not submit.
// - Confirming hands over whatever is picked, fewer than four words or none (an empty answer)
//   included; only while a new captcha is on its way does it wait.
// - The layout "VerificationViewController" provides the outlets `inputWordsView`,
//   `questionView` and `pickingView` and the buttons for `deleteWord:`, `dismiss:`,
//   `verifyCode:` and `refreshCode:`.
class VerificationViewController : public pf::ViewController {
public:
    static constexpr const char* kNibName = "VerificationViewController";
    static constexpr int kMaxPicks = 4;
    static constexpr int kFirstTileTag = 10;
    static constexpr double kTouchLockSeconds = 1.0;
    // What messages about the screen call the overlay.
    static constexpr const char* kCaptchaName = "the captcha";

    VerificationViewController();
    ~VerificationViewController() override;
    static void registerNib();

    std::shared_ptr<GiftDetailViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<GiftDetailViewController> owner) { m_superViewController = std::move(owner); }
    std::shared_ptr<VerificationCodeInfo> verificationCodeInfo() const { return m_verificationCodeInfo; }
    void setVerificationCodeInfo(std::shared_ptr<VerificationCodeInfo> info) { m_verificationCodeInfo = std::move(info); }
    const std::vector<int>& inputWordsIndexArray() const { return m_inputWordsIndexArray; }

    std::shared_ptr<pf::View> inputWordsView() const { return m_inputWordsView.lock(); }
    std::shared_ptr<pf::ImageView> questionView() const { return m_questionView.lock(); }
    std::shared_ptr<pf::View> pickingView() const { return m_pickingView.lock(); }

    void viewWillAppear(bool animated) override;
    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;

    // Actions of the buttons.
    void deleteWord();
    void dismiss();
    void verifyCode();
    void refreshCode();
    void userDidPickedAWord(const std::shared_ptr<pf::View>& tile);

    // The answer for the current picks: the captcha's words behind them, in pick order.
    std::string answerText() const;

private:
    void assignQuestionView();
    void addPickingWordsView();
    void refreshSelectedWordsView();
    void refreshSuperViewControllerStatus();
    void verifyAnswer();

    std::weak_ptr<GiftDetailViewController> m_superViewController;
    std::shared_ptr<VerificationCodeInfo> m_verificationCodeInfo;
    std::weak_ptr<pf::View> m_inputWordsView;
    std::weak_ptr<pf::ImageView> m_questionView;
    std::weak_ptr<pf::View> m_pickingView;
    std::vector<int> m_inputWordsIndexArray;
};
