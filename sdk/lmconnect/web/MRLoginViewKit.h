#pragma once

#include "sdk/lmconnect/web/MRLoginViewDelegate.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"

#include "platform/foundation/Value.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Url;
}
class MorrowLoginDelegate;

// The web sign-in: the vendor's page "oauth2.0/m_authorize" in a web window, watched load by
// load; or the same page handed to a LM browser (the new one, else the old one) or the system
// browser, whose reply comes back on the app's scheme with the token scrambled by a key kept
// per sign-in serial.
//
// Rules:
// - The page ends a sign-in by loading the in-page redirect ("auth://<redirect>", the token in
//   its fragment or query), the cancel address "morrow<app id>://cancel", a reply on the app's
//   scheme, or "auth://browser?..." to go on in a browser (back to the page when that fails and
//   "fall_to_wv" is "1"). After 21 counted loads the next load is refused.
// - A reply is looked at only when it is at most `kLongestReply` long and its serial has a key
//   waiting, which it uses once; only then
//   is the window closed or its "cb" run, and "cb" only when it is a dotted script name.
// - The lifetime in a reply or the page's redirect: none or 0 gives the app hand-off's lifetimes
//   (30 days, the distant future); a negative one or one that is no number fails the sign-in.
// - A sign-in reports once: success, a failure with an error, or a failure without one (the
//   user cancelled). A network error in the page fails it and closes the window. While the
//   sign-in is in a browser, the window's close and its errors report nothing.
// - It is its own kit delegate. Main thread only; its login delegate is not owned.
class MRLoginViewKit : public MRWebViewKit, public MRWebViewKitDelegate {
public:
    static constexpr const char* kAuthorizePath = "oauth2.0/m_authorize";
    static constexpr const char* kCallbackHost = "lmauth";
    static constexpr const char* kHomePage = "https://www.morrow.lm/";
    static constexpr const char* kNewBrowserScheme = "mlmbrowser://";
    static constexpr const char* kOldBrowserScheme = "mlbbrowser://";
    static constexpr const char* kErrorTitle = "错误";
    // What messages about the screen call the sign-in's window.
    static constexpr const char* kWindowName = "the LM sign-in page";
    static constexpr std::uint32_t kLoginLimit = 21;
    // Replies come from other apps; a real one is a few hundred bytes.
    static constexpr size_t kLongestReply = 16384;

    static std::shared_ptr<MRLoginViewKit> create();
    static std::shared_ptr<MRLoginViewKit> initWithAppId(std::string appId, std::optional<std::string> redirectURI,
        std::vector<std::string> permissions, std::weak_ptr<MRLoginViewDelegate> loginDelegate);

    void setAuthorData(std::string appId, std::optional<std::string> redirectURI, std::vector<std::string> permissions);
    void clearData();
    void cleanUp();

    bool openWithExtraParams(const pf::Dictionary& extraParams);
    bool open() override;
    // Sets app id, redirect, permissions and login delegate, then opens the page (`open`).
    bool openWithAppIdRedirectURIPermissionsLoginDelegate(std::string appId, std::optional<std::string> redirectURI,
        std::vector<std::string> permissions, std::weak_ptr<MRLoginViewDelegate> loginDelegate);
    bool openWithSafariAndExtraParams(const pf::Dictionary& extraParams);
    bool openWithSafari();
    static bool isNewLMBrowserInstall();
    static bool isOldLMBrowserInstall();

    std::string getOwnBaseUrl() const;
    bool canHandleOpenURL(const pf::Url& url) const;
    bool handleOpenURL(const pf::Url& url);

    bool openWithUrl(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate) override;
    void loadURL(std::string url, std::optional<std::string> webTitle, std::weak_ptr<MRWebViewKitDelegate> delegate) override;
    void doJsFun(const std::string& script);

    // "base?name=value&..." with the values escaped (`stringByEncodeUrl`), in their order; the
    // base alone without parameters.
    static std::string generateUrlString(const std::string& base, const std::optional<pf::Dictionary>& params);
    // "&"-separated pieces of two or more "=" parts: the name as written, the second part
    // unescaped; none for none.
    static std::optional<pf::Dictionary> parseURLParams(const std::optional<std::string>& text);
    // Whether `name` may be called as a reply's "cb": dotted identifiers only.
    static bool isScriptName(const std::string& name);

    // MRWebViewKitDelegate (the kit is its own).
    bool webViewKitShouldStartLoadWithRequest(MRWebViewKit&, const pf::UrlRequest& request, pf::WebNavigationType) override;
    void webViewKitDidFinishedWithError(MRWebViewKit&, const std::optional<pf::UrlError>& error) override;
    void webViewKitDidLoadWithNetworkError(MRWebViewKit&, const pf::UrlError& error) override;

    const std::optional<std::string>& accessToken() const { return m_accessToken; }
    const std::optional<std::string>& openId() const { return m_openId; }
    const std::optional<double>& expirationDate() const { return m_expirationDate; }
    const std::string& appId() const { return m_appId; }
    const std::optional<std::string>& redirectURI() const { return m_redirectURI; }
    const std::vector<std::string>& permissions() const { return m_permissions; }
    void setLoginDelegate(std::weak_ptr<MRLoginViewDelegate> delegate) { m_loginDelegate = std::move(delegate); }
    void setNewloginDelegate(std::weak_ptr<MorrowLoginDelegate> delegate) { m_newloginDelegate = std::move(delegate); }
    std::shared_ptr<MorrowLoginDelegate> newloginDelegate() const { return m_newloginDelegate.lock(); }
    void setExtraParams(pf::Dictionary params) { m_extraParams = std::move(params); }
    const pf::Dictionary& extraParams() const { return m_extraParams; }
    void setSerial(std::string serial) { m_serial = std::move(serial); }
    const std::string& serial() const { return m_serial; }
    const std::optional<std::string>& errorUrl() const { return m_errorUrl; }
    std::uint32_t loginCount() const { return m_loginCount; }
    bool isUseSafari() const { return m_isUseSafari; }
    // The serials whose browser replies are awaited.
    std::vector<std::string> waitingSerials() const;
    // The address the page was opened with.
    const std::string& startAddress() const { return m_startAddress; }

private:
    struct BrowserEntry {
        std::string tokenKey;
        std::weak_ptr<MorrowLoginDelegate> newLoginDel;
    };

    MRLoginViewKit() { setWindowName(kWindowName); }
    std::shared_ptr<MRLoginViewKit> self() { return std::static_pointer_cast<MRLoginViewKit>(shared_from_this()); }
    std::string normalisedRedirect() const;
    std::string inPageRedirect() const { return "auth://" + normalisedRedirect(); }
    std::string appScheme() const { return "morrow" + m_appId; }
    pf::Dictionary baseParams(const std::string& redirect) const;
    void addTrailingParams(pf::Dictionary& params, const pf::Dictionary& extraParams) const;
    void reportSuccess(const std::string& serial);
    void reportFailure(const std::optional<pf::UrlError>& error, const std::string& serial);

    std::string m_appId;
    std::optional<std::string> m_redirectURI;
    std::vector<std::string> m_permissions;
    std::weak_ptr<MRLoginViewDelegate> m_loginDelegate;
    std::weak_ptr<MorrowLoginDelegate> m_newloginDelegate;
    pf::Dictionary m_extraParams;
    std::optional<std::string> m_errorUrl;
    std::string m_serial;
    std::map<std::string, BrowserEntry> m_loginDict;
    std::optional<std::string> m_accessToken;
    std::optional<std::string> m_openId;
    std::optional<double> m_expirationDate;
    std::string m_startAddress;
    std::uint32_t m_loginCount { 0 };
    bool m_isUseSafari { false };
    bool m_isBrowserError { false };
    bool m_isUserCancel { false };
    bool m_reported { false }; // the current sign-in has reported its result
};
