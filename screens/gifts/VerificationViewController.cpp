#include "screens/gifts/VerificationViewController.h"

#include "core/managers/VerificationCodeImageManager.h"
#include "core/records/VerificationCodeInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/CustomControlApperanceCreator.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "screens/gifts/GiftDetailViewController.h"

VerificationViewController::VerificationViewController()
    : pf::ViewController(kNibName)
{
    registerNib();
    onAction("deleteWord:", [this](const std::shared_ptr<pf::View>&) { deleteWord(); });
    onAction("dismiss:", [this](const std::shared_ptr<pf::View>&) { dismiss(); });
    onAction("verifyCode:", [this](const std::shared_ptr<pf::View>&) { verifyCode(); });
    onAction("refreshCode:", [this](const std::shared_ptr<pf::View>&) { refreshCode(); });
}

VerificationViewController::~VerificationViewController()
{
    pf::RunLoop::main().cancelAll(this);
}

void VerificationViewController::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto hex = [](const char* text) { return ColorFactory::colorWithHexRGB(text); };
        auto root = std::make_shared<pf::View>(pf::Rect { 0, 0, 320, 416 });
        root->setBackgroundColor(pf::Color::rgb(0, 0, 0, 0.6));
        root->setDisplayName(kCaptchaName);
        loader.setOwnerView(root);

        auto panel = std::make_shared<pf::View>(pf::Rect { 30, 40, 260, 330 });
        panel->setBackgroundColor(pf::Color::white());
        root->addSubview(panel);
        auto heading = std::make_shared<pf::Label>(pf::Rect { 40, 48, 160, 20 });
        heading->setText("请按顺序点选文字");
        heading->setFont(pf::Font::system(14));
        heading->setTextColor(hex("ffb701").value_or(pf::Color::orange()));
        root->addSubview(heading);

        auto button = [&](const char* title, pf::Rect frame, const char* action, const char* background) {
            auto b = std::make_shared<pf::Button>(pf::ButtonType::Custom, frame);
            b->setTitle(title, pf::ControlState::Normal);
            b->setTitleFont(pf::Font::system(13));
            b->setBackgroundColor(hex(background));
            root->addSubview(b);
            loader.action(b, action);
            return b;
        };
        button("关闭", { 240, 44, 44, 26 }, "dismiss:", "cbcbcb");
        root->addSubview(loader.outlet("questionView", std::make_shared<pf::ImageView>(pf::Rect { 50, 78, 120, 40 })));
        button("换一张", { 184, 84, 56, 28 }, "refreshCode:", "cbcbcb");
        root->addSubview(loader.outlet("inputWordsView", std::make_shared<pf::View>(pf::Rect { 50, 128, 168, 42 })));
        button("删除", { 226, 134, 48, 30 }, "deleteWord:", "cbcbcb");
        root->addSubview(loader.outlet("pickingView", std::make_shared<pf::View>(pf::Rect { 91, 180, 138, 138 })));
        button("确定", { 110, 328, 100, 32 }, "verifyCode:", "ffb701");
    });
}

void VerificationViewController::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "inputWordsView")
        m_inputWordsView = view;
    else if (name == "questionView")
        m_questionView = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "pickingView")
        m_pickingView = view;
}

void VerificationViewController::viewWillAppear(bool animated)
{
    pf::ViewController::viewWillAppear(animated);
    view()->setUserInteractionEnabled(false);
    m_inputWordsIndexArray.clear();
    // The row is redrawn too: picks of an earlier showing must not stay on screen while the
    // answer being built is empty.
    refreshSelectedWordsView();
    assignQuestionView();
    addPickingWordsView();
    auto& loop = pf::RunLoop::main();
    loop.cancelAll(this);
    std::weak_ptr<pf::View> weakView = view();
    loop.postDelayed(kTouchLockSeconds, [weakView] {
        if (auto v = weakView.lock())
            v->setUserInteractionEnabled(true);
    }, this);
}

void VerificationViewController::assignQuestionView()
{
    if (auto question = questionView())
        question->setImage(VerificationCodeImageManager::sharedInstance()->getCodeImage());
}

void VerificationViewController::addPickingWordsView()
{
    auto grid = pickingView();
    if (!grid)
        return;
    grid->removeAllSubviews();
    if (!m_verificationCodeInfo || !m_verificationCodeInfo->verikey())
        return;
    auto images = VerificationCodeImageManager::sharedInstance();
    auto frameImage = CustomControlApperanceCreator::bundleImage("kuang.png");
    int count = static_cast<int>(m_verificationCodeInfo->verikey()->size());
    for (int i = 0; i < count; ++i) {
        double x = (i % 3) * 46 + 3;
        double y = (i / 3) * 46 + 3;
        auto frame = std::make_shared<pf::ImageView>(pf::Rect { x - 1, y - 1, 42, 42 });
        frame->setImage(frameImage);
        grid->addSubview(frame);
        auto tile = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { x, y, 40, 40 });
        tile->setBackgroundImage(images->getWordsImageWithIndex(i), pf::ControlState::Normal);
        tile->setBackgroundColor(pf::Color::red_());
        tile->setTag(i + kFirstTileTag);
        tile->addAction("userDidPickedAWord:", [this](const std::shared_ptr<pf::Control>& sender) { userDidPickedAWord(sender); },
            pf::ControlEvent::TouchUpInside);
        grid->addSubview(tile);
    }
}

void VerificationViewController::userDidPickedAWord(const std::shared_ptr<pf::View>& tile)
{
    if (!tile || static_cast<int>(m_inputWordsIndexArray.size()) >= kMaxPicks)
        return;
    m_inputWordsIndexArray.push_back(tile->tag() - kFirstTileTag);
    refreshSelectedWordsView();
}

void VerificationViewController::refreshSelectedWordsView()
{
    auto row = inputWordsView();
    if (!row)
        return;
    row->removeAllSubviews();
    auto frameImage = CustomControlApperanceCreator::bundleImage("kuang.png");
    auto images = VerificationCodeImageManager::sharedInstance();
    int count = static_cast<int>(m_inputWordsIndexArray.size());
    for (int p = 0; p < kMaxPicks; ++p) {
        auto frame = std::make_shared<pf::ImageView>(pf::Rect { 42.0 * p, 0, 42, 42 });
        frame->setImage(frameImage);
        row->addSubview(frame);
        if (p < count) {
            auto word = std::make_shared<pf::ImageView>(pf::Rect { 42.0 * p + 1, 1, 40, 40 });
            word->setImage(images->getWordsImageWithIndex(m_inputWordsIndexArray[static_cast<size_t>(p)]));
            row->addSubview(word);
        }
    }
}

void VerificationViewController::deleteWord()
{
    if (!m_inputWordsIndexArray.empty())
        m_inputWordsIndexArray.pop_back();
    refreshSelectedWordsView();
}

std::string VerificationViewController::answerText() const
{
    std::string answer;
    if (!m_verificationCodeInfo || !m_verificationCodeInfo->verikey())
        return answer;
    const auto& words = *m_verificationCodeInfo->verikey();
    for (int index : m_inputWordsIndexArray) {
        if (index >= 0 && static_cast<size_t>(index) < words.size())
            answer += words[static_cast<size_t>(index)];
    }
    return answer;
}

void VerificationViewController::refreshSuperViewControllerStatus()
{
    if (auto owner = superViewController())
        owner->resetGiftObtainStatus();
}

void VerificationViewController::verifyCode()
{
    verifyAnswer();
}

void VerificationViewController::verifyAnswer()
{
    // Whatever is picked goes out, in pick order, even nothing: the portal judges the answer and
    // its refusal reaches the user as any failed claim does. Only while a new picture loads (no
    // captcha, no tiles) is there nothing to answer, and the button waits for it.
    if (!m_verificationCodeInfo)
        return;
    view()->setHidden(true);
    refreshSuperViewControllerStatus();
    std::string answer = answerText();
    if (auto owner = superViewController())
        owner->verifyCode(answer);
    if (auto row = inputWordsView())
        row->removeAllSubviews();
}

void VerificationViewController::dismiss()
{
    refreshSuperViewControllerStatus();
    view()->setHidden(true);
}

void VerificationViewController::refreshCode()
{
    // The old captcha's tiles and picks go at once: nothing of it can be sent any more.
    m_verificationCodeInfo.reset();
    m_inputWordsIndexArray.clear();
    refreshSelectedWordsView();
    addPickingWordsView();
    if (auto owner = superViewController())
        owner->requestVerifyCode();
}
