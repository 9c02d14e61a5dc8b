#pragma once

#include "sdk/lmconnect/openapi/MorrowRequestDelegate.h"
#include "sdk/lmconnect/web/MRLoginViewDelegate.h"

#include "platform/foundation/Value.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pf {
class Reachability;
class Url;
}
class MRLoginViewKit;
class MorrowOAuth;
class MorrowSessionDelegate;

// The session's web sign-in route, which the scripts choose when no LM app can sign in: the
// scheme check, the network watch, the sign-in window and its results, and the open-id lookup
// for a sign-in whose page gave none. The session owns it and is the delegate of its sign-ins.
//
// Rules:
// - A route that cannot start answers false: without the reply scheme among the app's URL
//   types (alert "配置错误"), or without network (its delegate hears `morrowDidNotNetWork` once).
// - While a sign-in runs, each loss of the network shows one alert "网络错误"; the watch ends
//   with the sign-in's result.
// - Results reach the delegate stored under the sign-in's serial, once; a success without open
//   id asks "oauth2.0/m_me" and sets the open id through the session.
// - Main thread only.
class MorrowWebLogin : public MRLoginViewDelegate, public MorrowRequestDelegate, public std::enable_shared_from_this<MorrowWebLogin> {
public:
    static constexpr const char* kConfigErrorTitle = "配置错误";
    static constexpr const char* kConfigErrorMessage = "应用工程配置错误，scheme没有配置，请参考SDK使用文档";
    static constexpr const char* kNetworkErrorTitle = "网络错误";
    static constexpr const char* kNetworkErrorMessage = "网络连接不可用。";
    static constexpr const char* kAlertButton = "我知道啦";

    explicit MorrowWebLogin(std::weak_ptr<MorrowOAuth> session);
    ~MorrowWebLogin() override;

    // The scripts' call: "permission" (","-joined), "appid", "appScheme", "redirecURI", and
    // "isAdd" with "accessToken" for an added permission. "true" or "false".
    std::string authorizeInWebviewKitWithParams(const pf::Value& params);
    bool authorizeWithMorrowAppAuthInappId(const std::string& appId, const std::vector<std::string>& permissions, const std::string& scheme,
        const std::optional<std::string>& redirectURI, const pf::Dictionary& extraParams, std::weak_ptr<MorrowSessionDelegate> delegate);

    // Watches the vendor's web host while a sign-in runs; false when it cannot be reached. A
    // watch the system refuses is no lack of network: true, and nothing is watched.
    bool startNotifyNetWork();
    void stopNotifyNetWork();
    bool isWatchingNetwork() const { return m_reachHost != nullptr; }

    // Asks the Open API for the open id of the sign-in `serial`; false without a valid session
    // or serial.
    bool getOpenId(const std::string& serial);

    // A reply address for the sign-in window; false when it is none of its replies.
    bool handleOpenURL(const pf::Url& url);
    bool canHandleOpenURL(const pf::Url& url) const;

    const std::shared_ptr<MRLoginViewKit>& loginViewKit() const { return m_loginViewKit; }
    // The serials whose delegates wait for a result.
    std::vector<std::string> waitingSerials() const;

    void loginViewKitDidSucceedLogin(MRLoginViewKit& kit, const std::string& serial) override;
    void loginViewKitDidFailuredWithError(MRLoginViewKit& kit, const std::optional<pf::UrlError>& error, const std::string& serial) override;

    void requestDidLoadRawResponse(const std::shared_ptr<MorrowRequest>& request, const pf::Bytes& data) override;
    void requestDidFailWithError(const std::shared_ptr<MorrowRequest>& request, const MorrowError& error) override;

private:
    void reachabilityChanged();
    static void showAlert(const char* title, const char* message);
    std::shared_ptr<MorrowSessionDelegate> takeDelegate(const std::string& serial);
    void openIdAnswered(const std::shared_ptr<MorrowRequest>& request, const std::optional<std::string>& openId);

    std::weak_ptr<MorrowOAuth> m_session;
    std::shared_ptr<MRLoginViewKit> m_loginViewKit;
    std::map<std::string, std::weak_ptr<MorrowSessionDelegate>> m_loginDict;
    std::shared_ptr<pf::Reachability> m_reachHost;
    std::shared_ptr<int> m_observerOwner;
    bool m_reachable { false };
    std::map<std::shared_ptr<MorrowRequest>, std::string> m_openIdRequests; // request -> serial
};
