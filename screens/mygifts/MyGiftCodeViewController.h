#pragma once

#include "core/views/AdaptedViewController.h"

#include <memory>
#include <string>

namespace pf {
class Button;
class ImageView;
class Label;
class RichTextLabel;
}

// One obtained code ("礼包详情"): a smiling face, "恭喜您成功领到了TITLE", the code on a pale box,
// "复制卡密" which copies the code to the general pasteboard, and "取消" which goes back.
//
// Rules:
// - The title and the code are given before the push; the controls are built at the first
//   appearance. The code goes into the markup escaped; the title is plain text.
// - Each copy shows the "复制成功" box fully opaque and fades it out over 3 seconds, then hides
//   it. A copy during a fade starts the fade over: the latest copy's fade decides when the box
//   goes.
// - Without a code (empty, missing or null) there is nothing to copy: "复制卡密" is disabled, the
//   pasteboard keeps what it had and no confirmation shows.
class MyGiftCodeViewController : public AdaptedViewController {
public:
    static constexpr double kFadeDuration = 3.0;

    MyGiftCodeViewController();

    void assignViewControllerInfo(std::string title, std::string code);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    void copyGiftCode();
    void showObtainSuccessedPromptView();
    void dismiss();

    const std::string& titleString() const { return m_titleString; }
    const std::string& codeString() const { return m_codeString; }
    std::shared_ptr<pf::Label> promptTextLabel() const { return m_promptTextLabel; }
    std::shared_ptr<pf::RichTextLabel> codeText() const { return m_codeText; }
    std::shared_ptr<pf::Button> obtainButton() const { return m_obtainButton; }
    std::shared_ptr<pf::View> obtainSuccessedBackView() const { return m_obtainSuccessedBackView; }

private:
    std::shared_ptr<MyGiftCodeViewController> self();
    void addControls();
    std::shared_ptr<pf::Button> makeButton(const pf::Rect& frame, const std::string& title, const char* background,
        void (MyGiftCodeViewController::*action)());

    std::string m_titleString;
    std::string m_codeString;
    std::shared_ptr<pf::ImageView> m_promptView;
    std::shared_ptr<pf::Label> m_promptTextLabel;
    std::shared_ptr<pf::ImageView> m_codeTextBackView;
    std::shared_ptr<pf::RichTextLabel> m_codeText;
    std::shared_ptr<pf::Button> m_obtainButton;
    std::shared_ptr<pf::Button> m_cancleButton;
    std::shared_ptr<pf::View> m_obtainSuccessedBackView;
    std::shared_ptr<pf::Label> m_obtainSuccessedTitle;
    std::shared_ptr<pf::Label> m_obtainSuccessedSymbol;
    unsigned m_fadeGeneration { 0 };
};
