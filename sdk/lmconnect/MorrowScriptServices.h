#pragma once

#include "sdk/lmconnect/host/MorrowBridgeValue.h"
#include "sdk/lmconnect/openapi/APIResponse.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

class MorrowJSObject;
class MorrowSession;
class MorrowSessionDelegate;

// The native services the scripts reach through the session's "oauth" object: HTTP on their
// behalf with the reply parked for them, the relays that hand a parked reply to the session's
// delegate, and the user-info replies that set the nick name. The session owns it.
//
// Rules:
// - A script's request is a call of the session's table; its reply is parked in the bridge's
//   response dictionary under the script's callback name, then
//   "morrow.result.httpResponse(<callback>, <callback>)" runs. The call stays in the table until
//   a relay takes the reply.
// - Relays find the reply by the script's "key"; a key without a parked reply does nothing.
//   Callback names reach the delegate only through its closed table.
// - Held in a shared pointer; the script functions and replies reach it only while it lives.
// - Main thread only.
class MorrowScriptServices : public std::enable_shared_from_this<MorrowScriptServices> {
public:
    MorrowScriptServices(std::weak_ptr<MorrowSession> session, std::weak_ptr<MorrowSessionDelegate> delegate);

    // Who hears the relays and user-info replies from now on.
    void setDelegate(std::weak_ptr<MorrowSessionDelegate> delegate) { m_delegate = std::move(delegate); }

    // Add the services' functions to the session's script object: "httpGet" and "httpPost";
    // the five relays. The session places each group in its object's order.
    void addRequestFunctionsTo(MorrowJSObject& oauth);
    void addRelayFunctionsTo(MorrowJSObject& oauth);

    void httpGet(const pf::Value& params);
    void httpPost(const pf::Value& params);
    void localHttpCallback(const std::shared_ptr<APIResponse>& response);
    void httpJsResponseCallback(const pf::Value& params);
    void httpJsResponseCallbackType2(const pf::Value& params);
    std::string httpJsResponseCallbackType3(const pf::Value& params);
    void httpJsResponseCallbackUserInfo(const pf::Value& params);
    std::string httpJsResponseNotShowCallbackUserInfo(const pf::Value& params);
    void getUserInfoNotUserResponse(const std::shared_ptr<APIResponse>& response);
    bool getUserInfo();
    bool getUserInfoNotShow();

    static std::optional<std::string> stringByMROSDKReplacingHtmlEscapes(const std::optional<std::string>& text);

    const std::string& nickName() const { return m_nickName; }
    // Forgets the nick name: a new sign-in may be another user's.
    void clearNickName() { m_nickName.clear(); }
    // Who takes a nick name from a user-info reply the scripts do not show themselves.
    void setNickNameReceiver(std::function<void(const std::string&)> receiver) { m_nickReceiver = std::move(receiver); }
    const std::map<std::string, std::string>& callbacks() const { return m_callbacks; }

private:
    using Service = std::function<void(MorrowScriptServices&, const pf::Value&)>;
    void addFunction(MorrowJSObject& oauth, const char* name, Service service);
    void send(const pf::Value& params, const std::string& method, const pf::Value& parameters);
    // The parked reply of the script's "key" and its call removed from the table; none when
    // nothing is parked.
    std::shared_ptr<APIResponse> takeReply(const pf::Value& params);
    // Sets the nick name from a successful reply with a text "nickname"; false otherwise.
    bool takeNickName(const APIResponse& response);
    void offerNickName();
    std::string askScript(const std::string& script);
    // Whether the scripts want a user-info reply handed to the delegate.
    bool scriptWantsUserInfo();

    std::weak_ptr<MorrowSession> m_session;
    std::weak_ptr<MorrowSessionDelegate> m_delegate;
    std::map<std::string, std::string> m_callbacks; // call number -> script callback name
    std::string m_nickName;
    std::function<void(const std::string&)> m_nickReceiver;
};
