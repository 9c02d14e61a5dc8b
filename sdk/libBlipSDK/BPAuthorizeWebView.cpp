#include "sdk/libBlipSDK/BPAuthorizeWebView.h"

#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPAuthorizeResponse.h"
#include "sdk/libBlipSDK/BlipSDK.h"

#include <cctype>
#include <cmath>

namespace blip {

namespace {

// Only the query of a fixed address is ever read.
constexpr const char* kParsableBase = "http://blip.invalid/?";

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int portOf(const pf::Url& url)
{
    if (url.port())
        return *url.port();
    return url.hasScheme("https") ? 443 : url.hasScheme("http") ? 80 : -1;
}

}

BPAuthorizeWebView::BPAuthorizeWebView(std::shared_ptr<BPAuthorizeRequest> request)
    : m_request(std::move(request))
{
    setBackgroundColor(std::nullopt);
    setAutoresizingMask(pf::Autoresizing::FlexibleWidth | pf::Autoresizing::FlexibleHeight);
    m_webView = std::make_shared<pf::WebView>();
    m_webView->setAutoresizingMask(pf::Autoresizing::FlexibleWidth | pf::Autoresizing::FlexibleHeight);
    m_closeButton = std::make_shared<pf::Button>(pf::ButtonType::Custom);
    m_closeButton->setTitleColor(pf::Color::rgb(167 / 255.0, 184 / 255.0, 216 / 255.0, 1));
    m_closeButton->setTitleColor(pf::Color::rgb(1, 1, 1, 1), pf::ControlState::Highlighted);
    m_closeButton->setTitleFont(pf::Font::boldSystem(12));
    m_closeButton->setAutoresizingMask(pf::Autoresizing::FlexibleRightMargin | pf::Autoresizing::FlexibleBottomMargin);
    m_closeButton->setImage(closeImage());
    m_indicatorView = std::make_shared<pf::ActivityIndicatorView>(pf::ActivityIndicatorStyle::Gray);
}

BPAuthorizeWebView::~BPAuthorizeWebView()
{
    if (m_observing)
        pf::NotificationCenter::defaultCenter().removeObserver(this, pf::Screen::kDeviceOrientationDidChangeNotification);
}

std::shared_ptr<pf::Image> BPAuthorizeWebView::closeImage()
{
    if (auto bundle = pf::Bundle::main()) {
        if (auto path = bundle->pathForResource("BlipSDK.bundle/images/close", "png")) {
            if (auto image = pf::Image::fromFile(*path))
                return image;
        }
    }
    // The Blip bundle is not shipped: a white cross on a dark disc of the same size.
    pf::BitmapContext context({ 29, 29 }, pf::Screen::main().scale());
    context.setFillColor(pf::Color::rgb(0.2, 0.2, 0.2, 0.9));
    context.fillRoundedRect(pf::Rect(2, 2, 25, 25), 12.5);
    context.setStrokeColor(pf::Color::rgb(1, 1, 1, 1));
    context.setLineWidth(2);
    context.strokeLine({ 10, 10 }, { 19, 19 });
    context.strokeLine({ 19, 10 }, { 10, 19 });
    auto image = context.makeImage();
    if (image)
        image->setName("close.png");
    return image;
}

std::shared_ptr<BPAuthorizeWebView> BPAuthorizeWebView::showForRequest(std::shared_ptr<BPAuthorizeRequest> request)
{
    auto view = std::make_shared<BPAuthorizeWebView>(std::move(request));
    view->show();
    return view;
}

void BPAuthorizeWebView::cleanCookies()
{
    if (auto url = pf::Url::fromString(BlipSDK::webAuthorizeHost()))
        pf::CookieStorage::shared().deleteCookiesForHost(url->host());
}

void BPAuthorizeWebView::sizeToFitOrientation(bool transform)
{
    if (transform)
        m_rotation = 0;
    pf::Rect app = pf::Screen::main().applicationFrame();
    double factor = pf::Device::current().isTablet() ? 0.6 : 1.0;
    double width = std::floor(app.width() * factor);
    double height = std::floor(app.height() * factor);
    m_previousOrientation = int(pf::Screen::main().statusBarOrientation());
    if (pf::Screen::main().isLandscape())
        std::swap(width, height);
    double centreX = app.x() + std::ceil(app.width() / 2);
    double centreY = app.y() + std::ceil(app.height() / 2);
    setFrame(pf::Rect(centreX - std::ceil(width / 2), centreY - std::ceil(height / 2), width, height));
    if (transform)
        m_rotation = transformForOrientation();
}

double BPAuthorizeWebView::transformForOrientation()
{
    switch (pf::Screen::main().statusBarOrientation()) {
    case pf::InterfaceOrientation::PortraitUpsideDown:
        return -M_PI;
    case pf::InterfaceOrientation::LandscapeRight:
        return M_PI / 2;
    case pf::InterfaceOrientation::LandscapeLeft:
        return 3 * M_PI / 2;
    default:
        return 0;
    }
}

bool BPAuthorizeWebView::shouldRotateToOrientation(int orientation) const
{
    if (orientation == m_previousOrientation)
        return false;
    return orientation >= int(pf::InterfaceOrientation::Portrait) && orientation <= int(pf::InterfaceOrientation::LandscapeLeft);
}

void BPAuthorizeWebView::deviceOrientationDidChange()
{
    if (!shouldRotateToOrientation(int(pf::Screen::main().statusBarOrientation())))
        return;
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    pf::Animation::animate(pf::Screen::main().statusBarOrientationAnimationDuration(), 0, {}, [weak] {
        if (auto self = weak.lock())
            self->sizeToFitOrientation(true);
    });
}

void BPAuthorizeWebView::addObservers()
{
    if (m_observing)
        return;
    m_observing = true;
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    pf::NotificationCenter::defaultCenter().addObserver(weak, pf::Screen::kDeviceOrientationDidChangeNotification,
        [weak](const pf::Notification&) {
            if (auto self = weak.lock())
                self->deviceOrientationDidChange();
        });
}

void BPAuthorizeWebView::removeObservers()
{
    if (!m_observing)
        return;
    m_observing = false;
    pf::NotificationCenter::defaultCenter().removeObserver(this, pf::Screen::kDeviceOrientationDidChangeNotification);
}

void BPAuthorizeWebView::updateWebOrientation()
{
    m_webView->evaluate(pf::Screen::main().isLandscape() ? "document.body.setAttribute('orientation', 90);"
                                                          : "document.body.removeAttribute('orientation');");
}

void BPAuthorizeWebView::show()
{
    cleanCookies();
    sizeToFitOrientation(false);
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    m_closeButton->addAction("closeButtonPressed", [weak](const auto&) {
        if (auto self = weak.lock())
            self->closeButtonPressed();
    }, pf::ControlEvent::TouchUpInside);
    m_webView->setDelegate(std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this()));
    m_webView->setFrame(pf::Rect(11, 11, frame().width() - 22, frame().height() - 21));
    addSubview(m_webView);
    m_closeButton->sizeToFit();
    m_closeButton->setFrame(pf::Rect(2, 2, 29, 29));
    addSubview(m_closeButton);
    showWebView();
    showIndicator();
    addObservers();
}

void BPAuthorizeWebView::showWebView()
{
    auto window = pf::Window::keyWindow();
    if (!window && !pf::Window::windows().empty())
        window = pf::Window::windows().front();
    auto background = std::make_shared<pf::View>();
    background->setDisplayName(kPageName);
    m_modalBackgroundView = background;
    if (window) {
        background->setFrame(window->frame());
        window->addSubview(background);
    }
    background->addSubview(sharedView());

    // The pop-in: grow past full size, shrink a little, settle; then load. Views here have no
    // scale, so the first step fades in and the other two keep their time.
    m_rotation = transformForOrientation();
    setAlpha(0.001);
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    pf::Animation::animate(0.2, [this] { setAlpha(1); }, [weak](bool) {
        if (auto self = weak.lock())
            self->bounce1AnimationStopped();
    });
}

void BPAuthorizeWebView::bounce1AnimationStopped()
{
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    pf::Animation::animate(0, 0.15, {}, [] {}, [weak](bool) {
        if (auto self = weak.lock())
            self->bounce2AnimationStopped();
    });
}

void BPAuthorizeWebView::bounce2AnimationStopped()
{
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    pf::Animation::animate(0, 0.15, {}, [] {}, [weak](bool) {
        if (auto self = weak.lock())
            self->bounce3AnimationStopped();
    });
}

void BPAuthorizeWebView::bounce3AnimationStopped()
{
    if (!m_finished)
        load();
}

void BPAuthorizeWebView::showIndicator()
{
    m_indicatorView->sizeToFit();
    if (!m_indicatorView->superview())
        addSubview(m_indicatorView);
    m_indicatorView->setCenter(m_webView->center());
    m_indicatorView->startAnimating();
}

void BPAuthorizeWebView::hideIndicator()
{
    m_indicatorView->stopAnimating();
}

void BPAuthorizeWebView::drawRect(pf::BitmapContext& context, const pf::Rect& rect) const
{
    const pf::Color grey = pf::Color::rgb(0.3, 0.3, 0.3, 0.8);
    const pf::Color line = pf::Color::rgb(0.3, 0.3, 0.3, 1.0);
    drawRectFillRadius(context, rect, grey, 0);
    strokeLinesStroke(context, pf::Rect(std::ceil(rect.x() + 10), std::ceil(rect.y() + 10) + 1, rect.width() - 20, rect.height() - 21), line);
}

void BPAuthorizeWebView::drawRectFillRadius(pf::BitmapContext& context, const pf::Rect& rect, const pf::Color& fill, double radius)
{
    context.saveState();
    context.setFillColor(fill);
    if (radius != 0)
        addRoundedRectToPathRectRadius(context, pf::Rect(rect.x() + 0.5, rect.y() + 0.5, rect.width() - 1, rect.height() - 1), radius);
    else
        context.fillRect(rect);
    context.restoreState();
}

void BPAuthorizeWebView::addRoundedRectToPathRectRadius(pf::BitmapContext& context, const pf::Rect& rect, double radius)
{
    // The context fills the path as it is made: corners of the given radius.
    context.fillRoundedRect(rect, radius);
}

void BPAuthorizeWebView::strokeLinesStroke(pf::BitmapContext& context, const pf::Rect& rect, const pf::Color& stroke)
{
    context.saveState();
    context.setStrokeColor(stroke);
    context.setLineWidth(1);
    // Along the half-point lines, so that each edge covers one whole point.
    double left = rect.x() + 0.5, top = rect.y() + 0.5, right = rect.x() + rect.width() - 0.5, bottom = rect.y() + rect.height() - 0.5;
    context.strokeLine({ left, top }, { right, top });
    context.strokeLine({ right, top }, { right, bottom });
    context.strokeLine({ right, bottom }, { left, bottom });
    context.strokeLine({ left, bottom }, { left, top });
    context.restoreState();
}

std::shared_ptr<pf::Image> BPAuthorizeWebView::backgroundImage() const
{
    pf::Rect area(0, 0, bounds().width(), bounds().height());
    pf::BitmapContext context(area.size, 1.0);
    drawRect(context, area);
    return context.makeImage();
}

void BPAuthorizeWebView::hide()
{
    cleanCookies();
    removeObservers();
    hideIndicator();
    m_webView->stopLoading();
    auto keep = sharedView();
    removeFromSuperview();
    if (auto background = m_modalBackgroundView.lock())
        background->removeFromSuperview();
}

std::string BPAuthorizeWebView::pageAddress() const
{
    std::vector<std::pair<std::string, std::string>> params { { "response_type", "code" }, { "display", "mobile" } };
    if (m_request->app && m_request->app->appKey)
        params.emplace_back("client_id", *m_request->app->appKey);
    if (m_request->redirectURI)
        params.emplace_back("redirect_uri", *m_request->redirectURI);
    if (m_request->scope)
        params.emplace_back("scope", *m_request->scope);
    if (m_request->app && m_request->app->bundleID)
        params.emplace_back("packagename", *m_request->app->bundleID);
    params.emplace_back("key_hash", BlipSDK::hashKey());
    return BlipSDK::serializeURLStringWithParams(BlipSDK::webAuthorizeURL(), params);
}

void BPAuthorizeWebView::load()
{
    m_loadedAddress = pageAddress();
    m_webView->loadRequest(pf::UrlRequest(m_loadedAddress));
}

bool BPAuthorizeWebView::webViewShouldStartLoadWithRequestNavigationType(pf::WebView&, const pf::UrlRequest& request,
    pf::WebNavigationType)
{
    return shouldStartLoadWithRequest(request.url());
}

void BPAuthorizeWebView::webViewDidFinishLoad(pf::WebView&)
{
    hideIndicator();
}

// A page that cannot load leaves the dialog up until the user closes it.
void BPAuthorizeWebView::webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError&)
{
    hideIndicator();
}

void BPAuthorizeWebView::closeButtonPressed()
{
    authorizeDidFinishWithResponseCode(BPBaseResponse::kStatusUserCancel, std::nullopt);
}

std::optional<std::string> BPAuthorizeWebView::fixedUrlStringFromURL(const std::string& url, const std::string& split)
{
    size_t at = url.rfind(split);
    if (url.empty() || at == std::string::npos)
        return std::nullopt;
    return kParsableBase + url.substr(at + split.size());
}

bool BPAuthorizeWebView::isOnRedirectAddress(const std::string& address) const
{
    if (!m_request->redirectURI)
        return false;
    auto redirect = pf::Url::fromString(*m_request->redirectURI);
    auto target = pf::Url::fromString(address);
    if (!redirect || !target)
        return false;
    if (lower(redirect->scheme()) != lower(target->scheme()) || lower(redirect->host()) != lower(target->host())
        || portOf(*redirect) != portOf(*target))
        return false;
    std::string base = redirect->escapedPath();
    std::string path = target->escapedPath();
    if (base.empty() || base == "/")
        return true;
    if (base.ends_with("/"))
        return path.starts_with(base);
    return path == base || path.starts_with(base + "/");
}

bool BPAuthorizeWebView::shouldStartLoadWithRequest(const std::string& address)
{
    if (m_finished || !isOnRedirectAddress(address))
        return !m_finished;
    auto read = [](const std::optional<std::string>& fixed, const char* name) {
        return fixed ? BlipSDK::queryValueWithName(name, *fixed) : std::nullopt;
    };
    auto fixed = fixedUrlStringFromURL(address, "#");
    auto error = read(fixed, "error"), errorCode = read(fixed, "error_code");
    auto token = read(fixed, "access_token"), expires = read(fixed, "expires_in");
    if (!(error && errorCode) && !(token && expires)) {
        if (auto query = fixedUrlStringFromURL(address, "?")) {
            fixed = query;
            error = read(fixed, "error");
            errorCode = read(fixed, "error_code");
            token = read(fixed, "access_token");
            expires = read(fixed, "expires_in");
        }
    }
    auto pairs = [&] {
        pf::Dictionary info;
        std::string query = fixed->substr(std::string(kParsableBase).size());
        for (const auto& [name, value] : BlipSDK::queryDictionaryOfURLQueryUsingEncoding(query, pf::TextEncoding::Charset::Utf8))
            info.set(name, value);
        return info;
    };
    if (error && errorCode) {
        authorizeDidFinishWithResponseCode(BPBaseResponse::kStatusAuthFailed, pairs());
        return false;
    }
    if (token && expires) {
        authorizeDidFinishWithResponseCode(BPBaseResponse::kStatusSuccess, pairs());
        return false;
    }
    return true;
}

void BPAuthorizeWebView::authorizeDidFinishWithResponseCode(long long statusCode, const std::optional<pf::Dictionary>& info)
{
    if (m_finished)
        return;
    m_finished = true;
    auto response = BPAuthorizeResponse::response();
    response->statusCode = statusCode;
    response->userInfo = info;
    if (statusCode == BPBaseResponse::kStatusSuccess && info) {
        pf::Value all(*info);
        if (const std::string* uid = all["uid"].asString())
            response->userID = *uid;
        if (const std::string* token = all["access_token"].asString())
            response->accessToken = *token;
        double seconds = pf::text::doubleValue(all["expires_in"].stringValue());
        if (!std::isfinite(seconds))
            seconds = 0;
        response->expirationDate = pf::Date { pf::RunLoop::main().now() + seconds };
    }
    response->requestID = m_request->requestID;
    auto keep = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    BlipSDK::didReceiveAuthorizeResponseFromAuthorizeWebView(response, *this);
}

}
