#pragma once

#include "sdk/lmconnect/host/MorrowJSRunEnv.h"
#include "sdk/lmconnect/openapi/APIResponse.h"

#include <any>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class JsUpdateManager;
class LMApiMessage;
class LMBaseReq;
class MorrowShareCoder;

// The script host: loads the verified script files into the hidden web view, runs the bootstrap
// that lets scripts call native functions, and is how native code runs script entry points.
// The newest bridge is the shared one.
//
// Rules:
// - Making a bridge loads what the update manager hands out ("init.js" first); when there is
//   nothing usable, no bridge is made and there is no shared one.
// - Beside the bridge, two process-wide tables live from one bridge's making to the next: the
//   user dictionary (what native code parks for the scripts) and the response dictionary
//   (replies parked for the scripts, by callback name).
// - Values written into script text go through `MorrowScriptText`: texts as JSON string
//   literals, numbers as numbers.
// - Main thread only.
class MROSDKJSBridge {
public:
    // The shared bridge, made anew; none (and no shared bridge) when the scripts cannot load.
    static std::shared_ptr<MROSDKJSBridge> initializeWithUpdateManager(const std::shared_ptr<JsUpdateManager>& updateManager,
        std::shared_ptr<MorrowScriptContext> webView, std::weak_ptr<MorrowJSRunEnvDelegate> delegate);
    static std::shared_ptr<MROSDKJSBridge> shareInstance();
    // Drops the shared bridge.
    static void deinit();

    // The text that defines `SendCmd` in the page; run after the scripts, before registering.
    static const char* bootstrapScript();

    std::string evaluateJavascript(const std::string& script);
    // Runs a script every bridge loads (an installed file, the bootstrap): the context may keep
    // its compiled form for the next bridge.
    std::string loadScript(const std::string& script, const std::string& name);
    MorrowJSRunEnv& JSRunEnv() { return *m_runEnv; }

    // The LM share: the request and the message wait in the module pool under these keys while
    // the script's share entry runs; its answer text is returned. The share coder, which the LM
    // API supplies, says which message a request sends and describes it to the script; without
    // one a share answers "-1" and the script does not run.
    static constexpr const char* kShareRequestKey = "shareToLM_Request";
    static constexpr const char* kShareMessageKey = "shareToLM_Message";
    void setShareCoder(std::shared_ptr<const MorrowShareCoder> coder) { m_shareCoder = std::move(coder); }
    // "-1" for anything but a SendMessageToLMReq.
    std::string shareToLM(const std::shared_ptr<LMBaseReq>& req);
    std::string shareMessageToLM(const std::shared_ptr<LMApiMessage>& message);

    void setPoolObject(const std::string& key, std::any object) { m_jsBridgeModulePool[key] = std::move(object); }
    const std::any* getPoolObject(const std::string& key) const;

    static void addUserDictionary(std::any object, const std::string& key);
    static const std::any* getUserDictionary(const std::string& key);
    static void addResponseDictionary(std::shared_ptr<APIResponse> response, const std::string& key);
    static std::shared_ptr<APIResponse> getResponseDictionary(const std::string& key);

    // "a=1&b=2" as a table, without unescaping; parts without "=" are left out.
    static std::map<std::string, std::string> dictionaryWithQuery(const std::string& query);
    // Runs "<category>.<function>(<callback>,<callback>)"; true when the script answers "true".
    bool jsCall(const std::string& function, const std::string& category, const std::string& callback);

    // Entry points without arguments of their own; each answers the script's text.
    // "morrow_base.getUserInfo()": the scripts' own user-info request.
    std::string JSgetUserInfo();
    // "morrow.result.shouldUserGetUserInfo()": "true" when the scripts want a user-info reply
    // handed to the session's delegate.
    std::string JSuserGetUserInfo();
    // "morrow.netmonitor.statusChanged(<status>)": the network's new state.
    std::string nativeNetworkChanged(const std::string& status);

    // The sign-in entry points; each writes its values as given and answers the script's text.
    // "morrow.tauth.init(<app id>);": the scripts' start for the app. The handler of the
    // sign-ins is parked in the module pool under `kAuthorizeHandlerKey` before the scripts run,
    // until the next start; the shared host outlives sessions, so a handler it must not keep
    // alive is given weakly.
    static constexpr const char* kAuthorizeHandlerKey = "authorizeHandler";
    std::string authorizeInitWithHandler(const std::string& appId, std::any handler);
    // "morrow.tauth.login(<permissions>)", the permissions as `joinedPermissions` writes them.
    std::string authorizeWithPermissions(const std::vector<std::string>& permissions);
    // "morrow.result.loginComplete(<token>,<open id>,<expiry>)": the scripts take a finished
    // sign-in; the expiry is written as the number given (the session gives milliseconds
    // since 1970).
    std::string setAccessTokenOpenIDExpirationDate(const std::string& accessToken, const std::string& openId, double expirationDate);
    // "morrow.localresult.handleAuthorizeResult(<address>)", the address text as given; true when
    // the scripts answer "YES", that is, took it.
    bool authorizeHandleURL(const std::string& url);
    // The permissions as the sign-in entry points take them: one text, joined by ",".
    static std::string joinedPermissions(const std::vector<std::string>& permissions);

private:
    MROSDKJSBridge() = default;

    std::shared_ptr<JsUpdateManager> m_jsUpdateManager;
    std::shared_ptr<MorrowJSRunEnv> m_runEnv;
    std::shared_ptr<const MorrowShareCoder> m_shareCoder;
    std::map<std::string, std::any> m_jsBridgeModulePool;
};
