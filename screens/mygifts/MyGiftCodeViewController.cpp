#include "screens/mygifts/MyGiftCodeViewController.h"

#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"

MyGiftCodeViewController::MyGiftCodeViewController()
{
    onAction("popViewController:", [this](const std::shared_ptr<pf::View>&) { dismiss(); });
}

std::shared_ptr<MyGiftCodeViewController> MyGiftCodeViewController::self()
{
    return std::static_pointer_cast<MyGiftCodeViewController>(shared_from_this());
}

void MyGiftCodeViewController::assignViewControllerInfo(std::string title, std::string code)
{
    m_titleString = std::move(title);
    m_codeString = std::move(code);
}

void MyGiftCodeViewController::viewDidLoad()
{
    AdaptedViewController::viewDidLoad();
    setTitle("礼包详情");
    CustomControlApperanceCreator::assignCustomBackBarButtonItem(self(), "back.png",
        CustomControlApperanceCreator::backImageFrame(), "popViewController:");
    view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
}

void MyGiftCodeViewController::viewWillAppear(bool animated)
{
    AdaptedViewController::viewWillAppear(animated);
    addControls();
}

std::shared_ptr<pf::Button> MyGiftCodeViewController::makeButton(const pf::Rect& frame, const std::string& title,
    const char* background, void (MyGiftCodeViewController::*action)())
{
    auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, frame);
    button->setTitle(title, pf::ControlState::Normal);
    button->setTitleColor(pf::Color::white(), pf::ControlState::Normal);
    button->setTitleFont(pf::Font::system(13));
    button->setBackgroundColor(ColorFactory::colorWithHexRGB(background));
    std::weak_ptr<MyGiftCodeViewController> weakSelf = self();
    button->addAction(title, [weakSelf, action](const std::shared_ptr<pf::Control>&) {
        if (auto strong = weakSelf.lock())
            ((*strong).*action)();
    }, pf::ControlEvent::TouchUpInside);
    view()->addSubview(button);
    return button;
}

void MyGiftCodeViewController::addControls()
{
    if (!m_promptView) {
        m_promptView = std::make_shared<pf::ImageView>(pf::Rect { 118, 40, 82, 82 });
        m_promptView->setImage(CustomControlApperanceCreator::bundleImage("smile.png"));
        view()->addSubview(m_promptView);
    }
    if (!m_promptTextLabel) {
        m_promptTextLabel = std::make_shared<pf::Label>(pf::Rect { 64, 134, 192, 40 });
        m_promptTextLabel->setNumberOfLines(0);
        m_promptTextLabel->setTextAlignment(pf::TextAlignment::Center);
        m_promptTextLabel->setText("恭喜您成功领到了" + m_titleString);
        view()->addSubview(m_promptTextLabel);
    }
    if (!m_codeTextBackView) {
        m_codeTextBackView = std::make_shared<pf::ImageView>(pf::Rect { 57, 200, 213, 30 });
        m_codeTextBackView->setBackgroundColor(ColorFactory::colorWithHexRGB("FFFBE8"));
        view()->addSubview(m_codeTextBackView);
    }
    if (!m_codeText) {
        m_codeText = std::make_shared<pf::RichTextLabel>(pf::Rect { 64, 204, 192, 20 });
        m_codeText->setText("<font size=15>卡密：</font><font size=15 color='#FF7200'>" + pf::RichTextLabel::escape(m_codeString)
            + "</font>");
        view()->addSubview(m_codeText);
    }
    if (!m_obtainButton) {
        m_obtainButton = makeButton({ 60, 240, 80, 20 }, "复制卡密", "ffb701", &MyGiftCodeViewController::copyGiftCode);
        m_obtainButton->setEnabled(!m_codeString.empty());
    }
    if (!m_cancleButton)
        m_cancleButton = makeButton({ 180, 240, 80, 20 }, "取消", "cbcbcb", &MyGiftCodeViewController::dismiss);
    if (!m_obtainSuccessedBackView) {
        m_obtainSuccessedBackView = std::make_shared<pf::View>(pf::Rect { 64, 100, 192, 100 });
        m_obtainSuccessedBackView->setBackgroundColor(pf::Color::gray());
        m_obtainSuccessedBackView->setHidden(true);
        m_obtainSuccessedTitle = std::make_shared<pf::Label>(pf::Rect { 0, 24, 192, 20 });
        m_obtainSuccessedTitle->setTextAlignment(pf::TextAlignment::Center);
        m_obtainSuccessedTitle->setBackgroundColor(pf::Color::clear());
        m_obtainSuccessedTitle->setTextColor(ColorFactory::colorWithHexRGB("ffb701").value_or(pf::Color::black()));
        m_obtainSuccessedTitle->setText("复制成功");
        m_obtainSuccessedBackView->addSubview(m_obtainSuccessedTitle);
        m_obtainSuccessedSymbol = std::make_shared<pf::Label>(pf::Rect { 0, 60, 192, 20 });
        m_obtainSuccessedSymbol->setTextAlignment(pf::TextAlignment::Center);
        m_obtainSuccessedSymbol->setBackgroundColor(pf::Color::clear());
        m_obtainSuccessedSymbol->setText("~~o(>_<)o~~");
        m_obtainSuccessedBackView->addSubview(m_obtainSuccessedSymbol);
        view()->addSubview(m_obtainSuccessedBackView);
    }
}

void MyGiftCodeViewController::copyGiftCode()
{
    // A gift without a code (a missing or null one reads as empty) has nothing to copy.
    if (m_codeString.empty())
        return;
    pf::Pasteboard::general()->setString(m_codeString);
    showObtainSuccessedPromptView();
}

void MyGiftCodeViewController::showObtainSuccessedPromptView()
{
    if (!m_obtainSuccessedBackView)
        return;
    unsigned generation = ++m_fadeGeneration;
    m_obtainSuccessedBackView->setAlpha(1);
    m_obtainSuccessedBackView->setHidden(false);
    std::weak_ptr<MyGiftCodeViewController> weakSelf = self();
    auto box = m_obtainSuccessedBackView;
    pf::Animation::animate(kFadeDuration, [box] { box->setAlpha(0); }, [weakSelf, generation](bool) {
        // An earlier fade cut short by a newer copy must not hide the box the newer one shows.
        auto strong = weakSelf.lock();
        if (strong && generation == strong->m_fadeGeneration)
            strong->m_obtainSuccessedBackView->setHidden(true);
    });
}

void MyGiftCodeViewController::dismiss()
{
    if (auto navigation = navigationController())
        navigation->popViewController(true);
}
