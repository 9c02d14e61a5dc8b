#include "sdk/libBlipSDK/BPAuthorizeWebView.h"

#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Device.h"
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
    m_closeButton->setTitleColor(pf::Color::rgb(167 / 255.0, 184 / 255.0, 216 / 255.0));
    m_closeButton->setTitleColor(pf::Color::white(), pf::ControlState::Highlighted);
    m_closeButton->setTitleFont(pf::Font::boldSystem(12));
    m_closeButton->setAutoresizingMask(pf::Autoresizing::FlexibleRightMargin | pf::Autoresizing::FlexibleBottomMargin);
    m_indicatorView = std::make_shared<pf::ActivityIndicatorView>(pf::ActivityIndicatorStyle::Gray);
}

BPAuthorizeWebView::~BPAuthorizeWebView() = default;

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

void BPAuthorizeWebView::sizeToFitOrientation()
{
    pf::Rect app = pf::Screen::main().applicationFrame();
    double factor = pf::Device::current().isTablet() ? 0.6 : 1.0;
    double width = std::floor(app.width() * factor);
    double height = std::floor(app.height() * factor);
    double centreX = app.x() + std::ceil(app.width() / 2);
    double centreY = app.y() + std::ceil(app.height() / 2);
    setFrame(pf::Rect(centreX - std::ceil(width / 2), centreY - std::ceil(height / 2), width, height));
}

void BPAuthorizeWebView::show()
{
    cleanCookies();
    sizeToFitOrientation();
    std::weak_ptr<BPAuthorizeWebView> weak = std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this());
    m_closeButton->addAction("closeButtonPressed", [weak](const auto&) {
        if (auto self = weak.lock())
            self->closeButtonPressed();
    }, pf::ControlEvent::TouchUpInside);
    m_webView->setDelegate(std::static_pointer_cast<BPAuthorizeWebView>(shared_from_this()));
    m_webView->setFrame(pf::Rect(11, 11, frame().width() - 22, frame().height() - 21));
    addSubview(m_webView);
    m_closeButton->setFrame(pf::Rect(2, 2, 29, 29));
    addSubview(m_closeButton);

    auto window = pf::Window::keyWindow();
    if (!window && !pf::Window::windows().empty())
        window = pf::Window::windows().front();
    auto background = std::make_shared<pf::View>();
    m_modalBackgroundView = background;
    if (window) {
        background->setFrame(window->frame());
        window->addSubview(background);
    }
    background->addSubview(sharedView());

    // The pop-in: grow past full size, shrink a little, settle; then load. Views here have no
    // scale, so the first step fades in and the other two keep their time.
    setAlpha(0.001);
    pf::Animation::animate(0.2, [this] { setAlpha(1); }, [weak](bool) {
        pf::Animation::animate(0, 0.15, {}, [] {}, [weak](bool) {
            pf::Animation::animate(0, 0.15, {}, [] {}, [weak](bool) {
                if (auto self = weak.lock(); self && !self->m_finished)
                    self->load();
            });
        });
    });
    addSubview(m_indicatorView);
    m_indicatorView->setCenter(m_webView->center());
    m_indicatorView->startAnimating();
}

void BPAuthorizeWebView::hide()
{
    cleanCookies();
    m_indicatorView->stopAnimating();
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
    m_indicatorView->stopAnimating();
}

// A page that cannot load leaves the dialog up until the user closes it.
void BPAuthorizeWebView::webViewDidFailLoadWithError(pf::WebView&, const pf::UrlError&)
{
    m_indicatorView->stopAnimating();
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
        for (const auto& [name, value] : BlipSDK::queryDictionaryOfURLQuery(query))
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
