#include "sdk/lmconnect/dialogs/SetHeadImageViewController.h"

#include "sdk/lmconnect/analytics/MRDataReport.h"
#include "sdk/lmconnect/dialogs/DestRectView.h"
#include "sdk/lmconnect/dialogs/UINotifyView.h"
#include "sdk/lmconnect/dialogs/setHeadImageDelegate.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Reachability.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/TextMeasurer.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"

#include <cmath>
#include <limits>

namespace {

constexpr const char* kResourceBundle = "MorrowOpenApi_IOS_Bundle.bundle";
constexpr double kLargestSide = 2048;

// The UTF-16 length of the code point that starts with byte `lead`, and the byte count.
void codePointAt(const std::string& text, size_t at, size_t& bytes, int& units, unsigned& value)
{
    unsigned char lead = static_cast<unsigned char>(text[at]);
    bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + bytes > text.size())
        bytes = text.size() - at;
    value = bytes == 1 ? lead : lead & (0x7F >> bytes);
    for (size_t k = 1; k < bytes; ++k)
        value = (value << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    units = value >= 0x10000 ? 2 : 1;
}

}

SetHeadImageViewController::SetHeadImageViewController() = default;

SetHeadImageViewController::~SetHeadImageViewController()
{
    m_seq = -1;
    stopTimer();
    if (m_observerOwner)
        pf::NotificationCenter::defaultCenter().removeObserver(m_observerOwner.get());
}

std::shared_ptr<SetHeadImageViewController> SetHeadImageViewController::self()
{
    return std::static_pointer_cast<SetHeadImageViewController>(shared_from_this());
}

std::shared_ptr<pf::Image> SetHeadImageViewController::bundleImage(const std::string& name)
{
    auto main = pf::Bundle::main();
    auto bundle = main ? main->nestedBundle(kResourceBundle) : nullptr;
    auto path = bundle ? bundle->pathForResource(name, "png") : std::nullopt;
    return path ? pf::Image::fromFile(*path) : nullptr;
}

double SetHeadImageViewController::topBandHeight() const
{
    return m_topView ? m_topView->frame().height() : 0;
}

void SetHeadImageViewController::viewDidLoad()
{
    auto root = view();
    double w = root->bounds().width();
    double h = root->bounds().height();
    double band = (h - w) / 2;
    m_seq = -1;
    m_lastControllerStatusBarHidden = pf::Screen::main().isStatusBarHidden();
    pf::Screen::main().setStatusBarHidden(true);

    m_scrollView = std::make_shared<pf::ScrollView>(pf::Rect(0, 0, w, h));
    m_scrollView->setBackgroundColor(pf::Color::black());
    m_scrollView->setShowsHorizontalScrollIndicator(false);
    m_scrollView->setShowsVerticalScrollIndicator(false);
    m_scrollView->setDelegate(self());
    root->addSubview(m_scrollView);
    m_headImage = std::make_shared<pf::ImageView>(pf::Rect(0, 0, w, h));
    m_headImage->setBackgroundColor(std::nullopt);
    m_scrollView->addSubview(m_headImage);
    resetImage();

    pf::Color dim { 0, 0, 0, 0.6 };
    m_topView = std::make_shared<pf::View>(pf::Rect(0, 0, w, band));
    m_topView->setBackgroundColor(dim);
    m_bottomView = std::make_shared<pf::View>(pf::Rect(0, band + w, w, band));
    m_bottomView->setBackgroundColor(dim);
    root->addSubview(m_topView);
    root->addSubview(m_bottomView);
    m_destRectView = std::make_shared<DestRectView>(pf::Rect(0, band, w, w));
    root->addSubview(m_destRectView);

    m_toolbar = std::make_shared<pf::View>(pf::Rect(0, band - 55, w, 55));
    m_toolbar->setBackgroundColor(pf::Color { 0, 0, 0, 0.5 });
    m_bottomView->addSubview(m_toolbar);
    std::weak_ptr<SetHeadImageViewController> weak = self();
    auto button = [&](const char* title, double x, void (SetHeadImageViewController::*action)()) {
        auto b = std::make_shared<pf::Button>(pf::ButtonType::System, pf::Rect(x, (55 - 30) / 2.0, 60, 30));
        b->setTitle(title);
        b->addAction(title, [weak, action](const auto&) {
            if (auto screen = weak.lock())
                (screen.get()->*action)();
        }, pf::ControlEvent::TouchUpInside);
        m_toolbar->addSubview(b);
        return b;
    };
    m_cancelBtn = button(kCancelTitle, 10, &SetHeadImageViewController::cancelBtnClick);
    m_selectBtn = button(kSelectTitle, w - 70, &SetHeadImageViewController::selectBtnClick);
    m_lable = std::make_shared<pf::Label>(pf::Rect((w - 90) / 2, (55 - 30) / 2.0, 90, 30));
    m_lable->setFont(pf::Font::system(14));
    m_lable->setNumberOfLines(1);
    m_lable->setTextColor(pf::Color { 1, 1, 1, 1 });
    m_lable->setBackgroundColor(std::nullopt);
    m_lable->setTextAlignment(pf::TextAlignment::Center);
    m_lable->setText(kHint);
    m_toolbar->addSubview(m_lable);

    m_nickLabel = std::make_shared<pf::Label>(pf::Rect(0, 25, w, band / 2));
    m_nickLabel->setNumberOfLines(1);
    m_nickLabel->setFont(pf::Font::system(18));
    m_nickLabel->setTextColor(pf::Color { 1, 1, 1, 1 });
    m_nickLabel->setTextAlignment(pf::TextAlignment::Center);
    m_nickLabel->setBackgroundColor(std::nullopt);
    m_nickLabel->setCenter(m_topView->center());
    m_topView->addSubview(m_nickLabel);
    m_lmImage = std::make_shared<pf::ImageView>(pf::Rect(30, 20, 18, 20));
    m_lmImage->setImage(bundleImage("lmicon"));
    m_lmImage->setCenter(m_topView->center());
    m_topView->addSubview(m_lmImage);
    // A nick given before the view loaded is shown as it was shortened then.
    showNick();

    m_isSetUserPic = false;
    m_observerOwner = std::make_shared<int>(0);
    pf::NotificationCenter::defaultCenter().addObserver(m_observerOwner, pf::Application::kDidBecomeActiveNotification, [weak](const pf::Notification&) {
        if (auto screen = weak.lock())
            screen->onClickApp();
    });
    m_enterTime = pf::RunLoop::main().clock().now();
    if (!m_image)
        startSpinner();
}

void SetHeadImageViewController::startSpinner()
{
    if (m_activityView) {
        m_activityView->stopAnimating();
        m_activityView->removeFromSuperview();
    }
    m_activityView = std::make_shared<pf::ActivityIndicatorView>(pf::ActivityIndicatorStyle::WhiteLarge);
    m_activityView->setCenter(pf::Point { view()->center().x, 240 });
    view()->addSubview(m_activityView);
    m_activityView->startAnimating();
}

void SetHeadImageViewController::viewWillDisappear(bool)
{
    pf::Screen::main().setStatusBarHidden(m_lastControllerStatusBarHidden);
}

void SetHeadImageViewController::didReceiveMemoryWarning()
{
    cancelBtnClick();
}

pf::Size SetHeadImageViewController::ajustDisplaySize(pf::Size size)
{
    if (size.width > size.height)
        return { kDisplaySide * size.width / size.height, kDisplaySide };
    return { kDisplaySide, kDisplaySide * size.height / size.width };
}

std::shared_ptr<pf::Image> SetHeadImageViewController::imageWithImage(const std::shared_ptr<pf::Image>& image, pf::Size size)
{
    if (!image)
        return nullptr;
    return image->scaled(int(std::lround(size.width)), int(std::lround(size.height)));
}

std::shared_ptr<pf::Image> SetHeadImageViewController::getSubImage(const std::shared_ptr<pf::Image>& image, const pf::Rect& rect)
{
    if (!image)
        return nullptr;
    // Whole pixels: the square keeps its side instead of growing by a pixel at its edges.
    double s = image->scale();
    return image->cropped(pf::Rect(std::round(rect.x() * s), std::round(rect.y() * s), std::round(rect.width() * s), std::round(rect.height() * s)));
}

void SetHeadImageViewController::setImage(const std::shared_ptr<pf::Image>& image)
{
    if (image && image->size().width * image->size().height > kLargestSide * kLargestSide) {
        pf::Size size = image->size();
        pf::Size reduced = size.width > size.height ? pf::Size { kLargestSide, kLargestSide * size.height / size.width }
                                                    : pf::Size { kLargestSide * size.width / size.height, kLargestSide };
        m_image = imageWithImage(image, reduced);
    } else {
        m_image = image;
    }
    resetImage();
    if (m_activityView) {
        m_activityView->stopAnimating();
        m_activityView->removeFromSuperview();
        m_activityView.reset();
    }
}

void SetHeadImageViewController::resetImage()
{
    if (!m_image || !m_scrollView)
        return;
    pf::Size size = m_image->size();
    m_displaySize = ajustDisplaySize(size);
    m_minZoom = m_displaySize.width / size.width;
    m_maxZoom = m_minZoom > 0.5 ? 2 * m_minZoom : 1.0;
    m_headImage->setImage(m_image);
    double top = topBandHeight();
    double bottom = m_bottomView ? m_bottomView->frame().height() : 0;
    m_scrollView->setContentInset(pf::EdgeInsets { top, 0, bottom + 1, 1 });
    setZoomScale(m_minZoom);
    m_scrollView->setContentOffset(pf::Point { (m_displaySize.width - kDisplaySide) / 2, (m_displaySize.height - kDisplaySide) / 2 - top });
}

void SetHeadImageViewController::setZoomScale(double scale)
{
    if (!m_image || !m_scrollView)
        return;
    m_zoom = std::clamp(scale, m_minZoom, m_maxZoom);
    pf::Size size = m_image->size();
    m_headImage->setFrame(pf::Rect(0, 0, size.width * m_zoom, size.height * m_zoom));
    m_scrollView->setContentSize(pf::Size { size.width * m_zoom, size.height * m_zoom });
}

std::optional<std::string> SetHeadImageViewController::stringByMROSDKTruncateWithDotAtLimit(int limit, const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    const std::string& s = *text;
    // Walk the UTF-16 units; `cut` is the byte end of the whole characters that fit before the
    // unit that does not.
    int budget = limit;
    int unit = 0;
    std::optional<int> firstMissing;
    for (size_t at = 0; at < s.size() && !firstMissing;) {
        size_t bytes;
        int units;
        unsigned value;
        codePointAt(s, at, bytes, units, value);
        for (int k = 0; k < units; ++k) {
            int cost = units == 1 && value < 256 ? 1 : 2;
            if (budget - cost < 0) {
                firstMissing = unit;
                break;
            }
            budget -= cost;
            ++unit;
        }
        at += bytes;
    }
    if (!firstMissing)
        return s;
    int keep = *firstMissing - 1; // units kept
    std::string out;
    unit = 0;
    for (size_t at = 0; at < s.size();) {
        size_t bytes;
        int units;
        unsigned value;
        codePointAt(s, at, bytes, units, value);
        if (unit + units > keep)
            break;
        out.append(s, at, bytes);
        unit += units;
        at += bytes;
    }
    return out + "…";
}

void SetHeadImageViewController::setNick(const std::optional<std::string>& nick)
{
    // Shortened from a copy: the text given may be this screen's own, and the nick shown now is
    // not shortened again.
    std::optional<std::string> given = nick;
    if (given && given == m_nick) {
        showNick();
        return;
    }
    m_nick.reset();
    if (!given)
        return;
    m_nick = stringByMROSDKTruncateWithDotAtLimit(kNickLimit, given);
    showNick();
}

void SetHeadImageViewController::showNick()
{
    if (!m_nick || !m_nickLabel)
        return;
    m_nickLabel->setText(*m_nick);
    pf::Size text = pf::TextMeasurer::sizeOfText(*m_nick, m_nickLabel->font(),
        pf::Size { std::numeric_limits<double>::max(), m_nickLabel->frame().height() });
    double iconWidth = m_lmImage ? m_lmImage->frame().width() : 0;
    double x = (view()->bounds().width() - text.width - iconWidth) / 2;
    if (m_lmImage)
        m_lmImage->setFrame(pf::Rect(x, 25, m_lmImage->frame().width(), m_lmImage->frame().height()));
    m_nickLabel->setFrame(pf::Rect(x + iconWidth + 3.5, 25, text.width, text.height));
}

void SetHeadImageViewController::startTimer(double delay, void (SetHeadImageViewController::*action)())
{
    stopTimer();
    std::weak_ptr<SetHeadImageViewController> weak = self();
    m_timer = pf::RunLoop::main().postDelayed(delay, [weak, action] {
        if (auto screen = weak.lock()) {
            screen->m_timer.reset();
            (screen.get()->*action)();
        }
    }, this);
}

void SetHeadImageViewController::stopTimer()
{
    if (m_timer)
        pf::RunLoop::main().cancel(*m_timer);
    m_timer.reset();
}

void SetHeadImageViewController::cancelBtnClick()
{
    m_clickTime = pf::RunLoop::main().clock().now();
    MRDataReport::reportDataWithTime(0, std::string("10656"), m_appId, m_clickTime - m_enterTime, std::nullopt);
    if (auto delegate = m_delegate.lock())
        delegate->didCancelled(m_seq);
}

void SetHeadImageViewController::selectBtnClick()
{
    if (!m_selectBtn)
        return;
    m_selectBtn->setEnabled(false);
    m_clickTime = pf::RunLoop::main().clock().now();
    if (m_selectBtn->title() == kRetryTitle)
        MRDataReport::reportData(0, std::string("10657"), m_appId, std::nullopt);
    else
        MRDataReport::reportDataWithTime(0, std::string("10655"), m_appId, m_clickTime - m_enterTime, std::nullopt);
    // The disabled button is drawn before the work starts.
    startTimer(0.01, &SetHeadImageViewController::onTimer);
}

void SetHeadImageViewController::onTimer()
{
    auto keep = self();
    m_isSetUserPic = true;
    auto probe = pf::Reachability::forHostName(MorrowHostConfig::shared().webHost());
    if (probe->currentReachabilityStatus() == pf::Reachability::Status::NotReachable) {
        m_selectBtn->setEnabled(true);
        m_isCancelled = false;
        m_isSetUserPic = false;
        m_selectBtn->setTitle(kRetryTitle);
        if (m_notify) {
            m_notify->setIsAnimating(false);
            m_notify->removeFromSuperview();
            m_notify.reset();
        }
        showNotify(bundleImage("error"), std::string(kNetworkProblem));
        return;
    }
    if (!m_image) {
        m_selectBtn->setEnabled(true);
        m_isSetUserPic = false;
        return;
    }
    double z = m_zoom;
    pf::Point offset = m_scrollView->contentOffset();
    double side = 318 / z;
    auto piece = getSubImage(m_image, pf::Rect((offset.x + 1) / z, (offset.y + topBandHeight() + 1) / z, side, side));
    if (piece && side > kUploadSide)
        piece = imageWithImage(piece, pf::Size { kUploadSide, kUploadSide });
    auto delegate = m_delegate.lock();
    if (!delegate) {
        m_isSetUserPic = false;
        return;
    }
    if (m_fileName.empty())
        m_fileName = "lmPic";
    m_seq = piece ? delegate->didFinishedSetUserLocalPic(*this, piece, m_fileName) : -1;
    if (m_seq == -1) {
        // Once more with a centred square.
        pf::Size size = m_image->size();
        double s = std::floor(std::min(size.width, size.height) / 2);
        auto centred = getSubImage(m_image, pf::Rect(size.width / 4, size.height / 4, s, s));
        if (centred && s > kUploadSide)
            centred = imageWithImage(centred, pf::Size { kUploadSide, kUploadSide });
        m_seq = centred ? delegate->didFinishedSetUserLocalPic(*this, centred, m_fileName) : -1;
        if (m_seq == -1) {
            m_selectBtn->setEnabled(true);
            m_isSetUserPic = false;
            return;
        }
    }
    startSpinner();
}

void SetHeadImageViewController::showNotify(const std::shared_ptr<pf::Image>& image, const std::optional<std::string>& text)
{
    if (m_notify) {
        m_notify->setImage(image);
        m_notify->setText(text);
    } else {
        m_notify = UINotifyView::initWithImage(image, text);
        m_notify->setCenter(view()->center());
    }
    if (!m_notify->isAnimating()) {
        view()->addSubview(m_notify);
        m_notify->presentWithDuration(1.0, 0.5, view(), {});
        startTimer(kNoticeTime, &SetHeadImageViewController::onTimerNotifyView);
    }
}

void SetHeadImageViewController::onTimerNotifyView()
{
    removeNotifyView();
}

void SetHeadImageViewController::removeNotifyView()
{
    auto keep = self();
    if (m_notify) {
        m_notify->setIsAnimating(false);
        m_notify->removeFromSuperview();
        m_notify.reset();
    }
    if (m_isCancelled) {
        if (auto delegate = m_delegate.lock())
            delegate->didCancelled(m_seq);
    }
}

void SetHeadImageViewController::failWithRetry(const char* message)
{
    m_isCancelled = false;
    m_selectBtn->setTitle(kRetryTitle);
    MRDataReport::reportData(0, std::string("10660"), m_appId, std::nullopt);
    showNotify(bundleImage("error"), std::string(message));
}

void SetHeadImageViewController::setUserHeadPicResponse(const std::shared_ptr<APIResponse>& response)
{
    auto keep = self();
    if (m_selectBtn)
        m_selectBtn->setEnabled(true);
    m_seq = -1;
    m_isSetUserPic = false;
    m_isCancelled = true;
    if (m_activityView)
        m_activityView->stopAnimating();
    if (!response || !m_selectBtn)
        return;
    if (m_notify) {
        m_notify->setIsAnimating(false);
        m_notify->removeFromSuperview();
        m_notify.reset();
    }
    if (response->retCode != 0 || !response->jsonResponse.isDictionary()) {
        failWithRetry(kNetworkProblem);
        return;
    }
    const pf::Value& ret = response->jsonResponse["ret"];
    if (ret.isNumber() && !ret.asString() && ret.doubleValue() == 0) {
        MRDataReport::reportData(0, std::string("10658"), m_appId, std::nullopt);
        showNotify(bundleImage("success"), std::string(kSetDone));
        return;
    }
    // Another number, or no number at all: the upload did not take.
    failWithRetry(ret.isNumber() && !ret.asString() ? kSetFailed : kNetworkProblem);
}

void SetHeadImageViewController::onClickApp()
{
    if (m_isSetUserPic) {
        // An upload is already under way; its reply will come.
        return;
    }
    if (m_notify && m_notify->isAnimating()) {
        std::weak_ptr<SetHeadImageViewController> weak = self();
        m_notify->presentWithDuration(1.0, 0.5, view(), [weak] {
            if (auto screen = weak.lock())
                screen->removeNotifyView();
        });
    }
}

bool SetHeadImageViewController::setViewControllerData(const pf::Value& data)
{
    const std::string* nick = data["nick"].asString();
    if (!nick || nick->empty())
        return false;
    setNick(*nick);
    return true;
}

bool SetHeadImageViewController::setViewControllerResponse(const std::shared_ptr<APIResponse>& response)
{
    if (!response)
        return false;
    setUserHeadPicResponse(response);
    return true;
}

void SetHeadImageViewController::scrollViewWillBeginDragging(pf::ScrollView&)
{
    MRDataReport::reportData(0, std::string("10654"), m_appId, std::nullopt);
}
