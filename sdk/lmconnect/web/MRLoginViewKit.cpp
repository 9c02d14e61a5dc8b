#include "sdk/lmconnect/web/MRLoginViewKit.h"

#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/openapi/MorrowParams.h"
#include "sdk/lmconnect/openapi/MorrowRequest.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/web/MRWebViewController.h"
#include "sdk/lmconnect/web/URLExtend.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"
#include "platform/web/WebView.h"

#include <cctype>
#include <cmath>

namespace {

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? "," : "") + items[i];
    return text;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::optional<std::string> textOf(const pf::Dictionary& dict, const char* key)
{
    const pf::Value* value = dict.find(key);
    const std::string* text = value ? value->asString() : nullptr;
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

// The reply's failure: an error of no domain and code 0.
pf::UrlError replyError()
{
    pf::UrlError error;
    error.domain = "";
    error.code = 0;
    return error;
}

}

std::shared_ptr<MRLoginViewKit> MRLoginViewKit::create()
{
    auto kit = std::shared_ptr<MRLoginViewKit>(new MRLoginViewKit());
    kit->setDelegate(kit);
    return kit;
}

std::shared_ptr<MRLoginViewKit> MRLoginViewKit::initWithAppId(std::string appId, std::optional<std::string> redirectURI,
    std::vector<std::string> permissions, std::weak_ptr<MRLoginViewDelegate> loginDelegate)
{
    auto kit = create();
    kit->setAuthorData(std::move(appId), std::move(redirectURI), std::move(permissions));
    kit->m_loginDelegate = std::move(loginDelegate);
    return kit;
}

void MRLoginViewKit::setAuthorData(std::string appId, std::optional<std::string> redirectURI, std::vector<std::string> permissions)
{
    m_appId = std::move(appId);
    m_redirectURI = std::move(redirectURI);
    m_permissions = std::move(permissions);
}

void MRLoginViewKit::clearData()
{
    cleanUp();
    m_errorUrl.reset();
    m_newloginDelegate.reset();
    m_permissions.clear();
    m_redirectURI.reset();
}

void MRLoginViewKit::cleanUp()
{
    m_accessToken.reset();
    m_openId.reset();
    m_expirationDate.reset();
}

std::string MRLoginViewKit::normalisedRedirect() const
{
    std::string redirect = m_redirectURI.value_or(kHomePage);
    size_t at = redirect.find("://");
    return at == std::string::npos ? redirect : redirect.substr(at + 3);
}

std::string MRLoginViewKit::getOwnBaseUrl() const
{
    return appScheme() + "://" + normalisedRedirect();
}

pf::Dictionary MRLoginViewKit::baseParams(const std::string& redirect) const
{
    return pf::Dictionary { { "response_type", "token" }, { "client_id", m_appId }, { "redirect_uri", redirect }, { "display", "mobile" },
        { "state", "test" }, { "switch", "1" } };
}

void MRLoginViewKit::addTrailingParams(pf::Dictionary& params, const pf::Dictionary& extraParams) const
{
    for (const auto& [name, value] : MrApiTool::SDKInfo())
        params.set(name, value);
    for (const auto& [name, value] : extraParams)
        params.set(name, value);
    if (!m_permissions.empty())
        params.set("scope", joined(m_permissions));
}

std::string MRLoginViewKit::generateUrlString(const std::string& base, const std::optional<pf::Dictionary>& params)
{
    if (!params)
        return base;
    std::string query;
    for (const auto& [name, value] : *params) {
        const std::string* text = value.asString();
        if (!query.empty())
            query += "&";
        query += name + "=" + URLExtend::stringByEncodeUrl(text ? *text : std::string());
    }
    return base + "?" + query;
}

std::optional<pf::Dictionary> MRLoginViewKit::parseURLParams(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithEquals, .valueEndsAtNextEquals = true,
        .names = pf::QueryString::Escapes::Kept, .values = pf::QueryString::Escapes::ResolvedOrKept };
    pf::Dictionary params;
    for (auto& item : pf::QueryString::parse(*text, rules))
        params.set(std::move(item.name), std::move(*item.value));
    return params;
}

bool MRLoginViewKit::isScriptName(const std::string& name)
{
    if (name.empty() || name.size() > 128)
        return false;
    bool atStart = true;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '.') {
            if (atStart)
                return false;
            atStart = true;
            continue;
        }
        bool letter = std::isalpha(u) || c == '_' || c == '$';
        if (!letter && !(std::isdigit(u) && !atStart))
            return false;
        atStart = false;
    }
    return !atStart;
}

bool MRLoginViewKit::open()
{
    return openWithExtraParams({});
}

bool MRLoginViewKit::openWithAppIdRedirectURIPermissionsLoginDelegate(std::string appId, std::optional<std::string> redirectURI,
    std::vector<std::string> permissions, std::weak_ptr<MRLoginViewDelegate> loginDelegate)
{
    setAuthorData(std::move(appId), std::move(redirectURI), std::move(permissions));
    m_loginDelegate = std::move(loginDelegate);
    return open();
}

bool MRLoginViewKit::openWithExtraParams(const pf::Dictionary& extraParams)
{
    m_isUseSafari = false;
    if (m_appId.empty()) {
        m_isBrowserError = false;
        return false;
    }
    m_reported = false;
    pf::Dictionary params = baseParams(inPageRedirect());
    addTrailingParams(params, extraParams);
    if (m_isBrowserError) {
        params.set("browser_error", "1");
        m_isBrowserError = false;
    }
    m_startAddress = generateUrlString(MorrowHostConfig::shared().openApiBase() + kAuthorizePath, params);
    loadURL(m_startAddress, std::string(), self());
    return true;
}

bool MRLoginViewKit::openWithSafari()
{
    return openWithSafariAndExtraParams({});
}

bool MRLoginViewKit::openWithSafariAndExtraParams(const pf::Dictionary& extraParams)
{
    if (m_appId.empty() || m_serial.empty())
        return false;
    std::string key = MrApiTool::random16Str();
    char time[32];
    std::snprintf(time, sizeof time, "%llu", static_cast<unsigned long long>(std::floor(pf::RunLoop::main().clock().now() * 1000)));
    pf::Dictionary params = baseParams(inPageRedirect());
    params.set("browser", "1");
    params.set("b_time", std::string(time));
    params.set("token_key", key);
    params.set("serial", m_serial);
    addTrailingParams(params, extraParams);
    if (!MrApiTool::isRegistSchemeInfoPlistFile(appScheme()) || !pf::Device::current().isMultitaskingSupported())
        return false;
    params.set("redirect_uri", getOwnBaseUrl());
    MorrowParams query;
    for (const auto& [name, value] : params)
        query.set(name, value);
    std::string address = MorrowRequest::serializeURL(MorrowHostConfig::shared().openApiBase() + kAuthorizePath, query);

    m_reported = false;
    bool opened = false;
    if (isNewLMBrowserInstall()) {
        if (auto url = pf::Url::fromString(std::string(kNewBrowserScheme) + "url=" + address))
            opened = pf::Application::shared().openURL(*url);
    }
    // The old browser only when the new one could not take it: one browser per sign-in.
    if (!opened && isOldLMBrowserInstall() && MrApiTool::systemVersion() >= 6.0) {
        if (auto url = pf::Url::fromString(std::string(kOldBrowserScheme) + "url=" + address))
            opened = pf::Application::shared().openURL(*url);
    }
    if (!opened) {
        auto url = pf::Url::fromString(address);
        if (url && pf::Application::shared().canOpenURL(*url))
            opened = pf::Application::shared().openURL(*url);
    }
    m_isUseSafari = opened;
    if (opened)
        m_loginDict[m_serial] = BrowserEntry { key, m_newloginDelegate };
    return opened;
}

bool MRLoginViewKit::isNewLMBrowserInstall()
{
    auto url = pf::Url::fromString(kNewBrowserScheme);
    return url && pf::Application::shared().canOpenURL(*url);
}

bool MRLoginViewKit::isOldLMBrowserInstall()
{
    auto url = pf::Url::fromString(kOldBrowserScheme);
    return url && pf::Application::shared().canOpenURL(*url);
}

bool MRLoginViewKit::canHandleOpenURL(const pf::Url& url) const
{
    const std::string& text = url.absoluteString();
    return startsWith(text, appScheme() + "://" + kCallbackHost) || startsWith(text, getOwnBaseUrl());
}

std::vector<std::string> MRLoginViewKit::waitingSerials() const
{
    std::vector<std::string> serials;
    for (const auto& [serial, entry] : m_loginDict)
        serials.push_back(serial);
    return serials;
}

bool MRLoginViewKit::openWithUrl(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate>)
{
    cleanUp();
    setValues(std::move(url), std::move(webTitle), self());
    return MRWebViewKit::open();
}

void MRLoginViewKit::loadURL(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate)
{
    if (auto page = webViewController()) {
        page->setWebTitle(webTitle);
        page->setDelegate(self());
        page->setRequestURLStr(url);
        page->loadURL();
        return;
    }
    setValues(std::move(url), std::move(webTitle), std::move(delegate));
    MRWebViewKit::open();
}

void MRLoginViewKit::doJsFun(const std::string& script)
{
    if (auto page = webViewController(); page && page->webview())
        page->webview()->evaluate(script);
    doClose();
}

void MRLoginViewKit::reportSuccess(const std::string& serial)
{
    m_reported = true;
    if (auto delegate = m_loginDelegate.lock())
        delegate->loginViewKitDidSucceedLogin(*this, serial);
}

void MRLoginViewKit::reportFailure(const std::optional<pf::UrlError>& error, const std::string& serial)
{
    m_reported = true;
    if (auto delegate = m_loginDelegate.lock())
        delegate->loginViewKitDidFailuredWithError(*this, error, serial);
}

bool MRLoginViewKit::handleOpenURL(const pf::Url& url)
{
    auto keep = self();
    if (url.absoluteString().size() > kLongestReply || !canHandleOpenURL(url) || m_loginDict.empty())
        return false;
    auto params = parseURLParams(url.fragment() ? url.fragment() : url.query());
    if (!params || params->size() == 0)
        return false;
    // Nothing of a reply is acted on before its serial proves it answers our hand-off.
    auto serial = textOf(*params, "serial");
    auto entry = serial ? m_loginDict.find(*serial) : m_loginDict.end();
    if (entry == m_loginDict.end() || entry->second.tokenKey.empty())
        return false;
    std::string key = entry->second.tokenKey;
    m_loginDict.erase(entry);

    auto callback = textOf(*params, "cb");
    if (callback && isScriptName(*callback)) {
        std::string script = *callback + "(" + pf::Json::write(pf::Value(*params)) + ")";
        std::weak_ptr<MRLoginViewKit> weak = self();
        pf::RunLoop::main().post([weak, script] {
            if (auto kit = weak.lock())
                kit->doJsFun(script);
        });
    } else {
        doClose();
    }

    auto token = textOf(*params, "access_token");
    if (token) {
        m_accessToken = MrApiTool::decodeAccessToken(*token, key);
        if (auto openId = textOf(*params, "openid"))
            m_openId = openId;
        m_expirationDate = OpenApi::expiryForLifetime(params->find("expires_in"));
        if (m_accessToken && !m_accessToken->empty() && m_expirationDate)
            reportSuccess(*serial);
        else
            reportFailure(replyError(), *serial);
        return true;
    }
    auto error = textOf(*params, "error");
    if (error == std::optional<std::string>("service_disabled_use_browser")) {
        openWithSafari();
        return true;
    }
    if (params->find("error_code") || (error && *error != "access_denied"))
        reportFailure(replyError(), *serial);
    else
        reportFailure(std::nullopt, *serial);
    return true;
}

bool MRLoginViewKit::webViewKitShouldStartLoadWithRequest(MRWebViewKit&, const pf::UrlRequest& request, pf::WebNavigationType)
{
    auto keep = self();
    if (m_loginCount >= kLoginLimit) {
        m_loginCount = 0;
        return false;
    }
    const std::string& address = request.url();
    if (address.empty())
        return false;
    if (address == m_startAddress) {
        ++m_loginCount;
        return true;
    }
    if (contains(address, inPageRedirect())) {
        if (contains(address, "access_token")) {
            auto params = URLExtend::dictionaryByParseUrlFromSeparator(address, "#");
            if (params.size() == 0)
                params = URLExtend::dictionaryByParseUrlFromSeparator(address, "?");
            m_accessToken = textOf(params, "access_token");
            m_openId = textOf(params, "openid");
            m_expirationDate = OpenApi::expiryForLifetime(params.find("expires_in"));
            // A token with a lifetime that is refused (negative, no number) is a failed sign-in,
            // not one the user cancelled.
            if (m_accessToken && !m_expirationDate && !m_isUseSafari && !m_reported)
                reportFailure(replyError(), m_serial);
        }
        doClose();
        m_loginCount = 0;
        return false;
    }
    if (contains(address, appScheme() + "://" + kCallbackHost + "/")) {
        if (auto url = pf::Url::fromString(address))
            handleOpenURL(*url);
        m_loginCount = 0;
        return false;
    }
    if (address == appScheme() + "://cancel") {
        m_isUseSafari = false;
        m_isUserCancel = true;
        m_loginCount = 0;
        doClose();
        return false;
    }
    if (!contains(address, "auth://browser"))
        return true;

    auto params = URLExtend::dictionaryByParseUrlFromSeparator(address, "?");
    if (contains(address, "redir"))
        m_errorUrl = textOf(params, "redir");
    if (openWithSafariAndExtraParams(m_extraParams)) {
        m_loginCount = 0;
        return false; // the page stays; the browser's reply ends the sign-in
    }
    if (textOf(params, "fall_to_wv") == std::optional<std::string>("1")) {
        m_isBrowserError = true;
        ++m_loginCount;
        openWithExtraParams(m_extraParams);
        return false;
    }
    if (m_errorUrl) {
        loadURL(*m_errorUrl, std::string(kErrorTitle), self());
        ++m_loginCount;
        return false;
    }
    return true;
}

void MRLoginViewKit::webViewKitDidFinishedWithError(MRWebViewKit&, const std::optional<pf::UrlError>& error)
{
    auto keep = self();
    if (m_accessToken && !m_accessToken->empty() && m_expirationDate) {
        if (m_isUseSafari) {
            m_isUseSafari = false;
            return;
        }
        if (!m_reported)
            reportSuccess(m_serial);
        doClose();
        return;
    }
    if (!m_isUseSafari && !m_reported) {
        if (m_isUserCancel) {
            m_isUserCancel = false;
            reportFailure(std::nullopt, m_serial);
        } else {
            reportFailure(error, m_serial);
        }
    }
    doClose();
}

void MRLoginViewKit::webViewKitDidLoadWithNetworkError(MRWebViewKit&, const pf::UrlError& error)
{
    auto keep = self();
    if (m_isUseSafari || m_reported)
        return;
    // One failure ends the sign-in; the window goes with it.
    reportFailure(error, m_serial);
    doClose();
}
