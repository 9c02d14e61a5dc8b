#include "sdk/lmconnect/host/MROSDKJSBridge.h"

#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/host/MorrowShareCoder.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"

#include "platform/foundation/Json.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/ResetRegistry.h"

namespace {

// The shared host and its tables are never destroyed: sessions and script objects reach them
// from their destructors, which may run among the static destructors at process exit. A new
// launch lets the host and what the tables hold go.
std::map<std::string, std::any>& userDictionary();
std::map<std::string, std::shared_ptr<APIResponse>>& responseDictionary();

std::shared_ptr<MROSDKJSBridge>& sharedBridge()
{
    static auto* bridge = [] {
        auto* made = new std::shared_ptr<MROSDKJSBridge>();
        pf::ResetRegistry::add([made] {
            std::shared_ptr<MROSDKJSBridge> old = std::move(*made);
            userDictionary().clear();
            responseDictionary().clear();
        });
        return made;
    }();
    return *bridge;
}

std::map<std::string, std::any>& userDictionary()
{
    static auto* table = new std::map<std::string, std::any>();
    return *table;
}

std::map<std::string, std::shared_ptr<APIResponse>>& responseDictionary()
{
    static auto* table = new std::map<std::string, std::shared_ptr<APIResponse>>();
    return *table;
}

}

const char* MROSDKJSBridge::bootstrapScript()
{
    return R"JS(var SendCmd = window.SendCmd || {};
window.SendCmd = SendCmd;
SendCmd.createNameSpace = function (name) {
    var parts = String(name).split(".");
    var space = window;
    for (var i = 0; i < parts.length; i++) {
        space[parts[i]] = space[parts[i]] || {};
        space = space[parts[i]];
    }
    return space;
};
SendCmd.createClass = function (name, methodJSON) {
    if (name == null || methodJSON == null) {
        alert("nameSpace = " + name + " methodJSon = " + methodJSON);
        return;
    }
    var space = SendCmd.createNameSpace(name);
    var methods = JSON.parse(methodJSON);
    for (var i = 0; i < methods.length; i++) {
        (function (method) {
            space[method.funcName] = function () {
                var count = Math.min(arguments.length, method.argNum);
                var params = "";
                for (var k = 0; k < count; k++)
                    params += "p" + k + "=" + encodeURIComponent(arguments[k]) + "&";
                return SendCmd._sendMessageToObjectC(name, method.funcName, params);
            };
        })(methods[i]);
    }
};
SendCmd._sendMessageToObjectC = function (object, func, params) {
    var url = "morrowjsbridge://" + object + "/" + func;
    if (params != null)
        url += "?" + params;
    // The call's values stay out of the log: they carry tokens.
    console.log("[API]morrowjsbridge://" + object + "/" + func);
    var value = SendCmd._openURL(url);
    return value ? value : null;
};
SendCmd._openURL = function (url) {
    var frame = document.createElement("iframe");
    frame.style.display = "none";
    frame.onload = function () {
        if (frame.parentNode)
            frame.parentNode.removeChild(frame);
    };
    frame.src = url;
    SendCmd._RETURN_ERROR = undefined;
    document.body.appendChild(frame);
    var value = SendCmd._RETURN_VALUE;
    var error = SendCmd._RETURN_ERROR;
    SendCmd._RETURN_VALUE = undefined;
    SendCmd._RETURN_ERROR = undefined;
    // A call the native side refused as unreadable fails here, in the calling script.
    if (error !== undefined) {
        if (frame.parentNode)
            frame.parentNode.removeChild(frame);
        throw new Error(error);
    }
    return value;
};
SendCmd._sendHttpUrlReq = function (object, func, params) {
    var url = "sendhttpurl://" + object + "/" + func;
    if (params != null)
        url += "?" + params;
    return SendCmd._openURL(url);
};
SendCmd._createObject = function (a, b, c) { return SendCmd._sendMessageToObjectC(a, b, c); };
SendCmd._endfunc = function (a, b, c) { return SendCmd._sendMessageToObjectC(a, b, c); };
SendCmd.setReturnValue = function (value) { SendCmd._RETURN_VALUE = value; };
SendCmd.setReturnError = function (message) { SendCmd._RETURN_ERROR = String(message); };
)JS";
}

std::shared_ptr<MROSDKJSBridge> MROSDKJSBridge::initializeWithUpdateManager(const std::shared_ptr<JsUpdateManager>& updateManager,
    std::shared_ptr<MorrowScriptContext> webView, std::weak_ptr<MorrowJSRunEnvDelegate> delegate)
{
    deinit();
    userDictionary().clear();
    responseDictionary().clear();
    if (!updateManager)
        return nullptr;
    auto runEnv = MorrowJSRunEnv::create(std::move(webView), std::move(delegate));
    if (!runEnv)
        return nullptr;
    auto scripts = updateManager->loadInstalledScripts();
    if (!scripts)
        return nullptr;
    auto bridge = std::shared_ptr<MROSDKJSBridge>(new MROSDKJSBridge());
    bridge->m_jsUpdateManager = updateManager;
    bridge->m_runEnv = std::move(runEnv);
    for (auto& script : *scripts)
        bridge->loadScript(script.text, script.path.substr(script.path.rfind('/') + 1));
    sharedBridge() = bridge;
    return bridge;
}

std::shared_ptr<MROSDKJSBridge> MROSDKJSBridge::shareInstance()
{
    return sharedBridge();
}

void MROSDKJSBridge::deinit()
{
    sharedBridge().reset();
}

std::string MROSDKJSBridge::evaluateJavascript(const std::string& script)
{
    // The context stays alive through the run even if the run ends this bridge.
    auto webview = m_runEnv->webview();
    return webview->evaluateJavascript(script);
}

std::string MROSDKJSBridge::loadScript(const std::string& script, const std::string& name)
{
    auto webview = m_runEnv->webview();
    return webview->loadScript(script, name);
}

const std::any* MROSDKJSBridge::getPoolObject(const std::string& key) const
{
    auto it = m_jsBridgeModulePool.find(key);
    return it == m_jsBridgeModulePool.end() ? nullptr : &it->second;
}

void MROSDKJSBridge::addUserDictionary(std::any object, const std::string& key)
{
    userDictionary()[key] = std::move(object);
}

const std::any* MROSDKJSBridge::getUserDictionary(const std::string& key)
{
    auto it = userDictionary().find(key);
    return it == userDictionary().end() ? nullptr : &it->second;
}

void MROSDKJSBridge::addResponseDictionary(std::shared_ptr<APIResponse> response, const std::string& key)
{
    responseDictionary()[key] = std::move(response);
}

std::shared_ptr<APIResponse> MROSDKJSBridge::getResponseDictionary(const std::string& key)
{
    auto it = responseDictionary().find(key);
    return it == responseDictionary().end() ? nullptr : it->second;
}

std::map<std::string, std::string> MROSDKJSBridge::dictionaryWithQuery(const std::string& query)
{
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithEquals, .valueEndsAtNextEquals = true,
        .names = pf::QueryString::Escapes::Kept, .values = pf::QueryString::Escapes::Kept };
    std::map<std::string, std::string> out;
    for (auto& item : pf::QueryString::parse(query, rules))
        out[std::move(item.name)] = std::move(*item.value);
    return out;
}

bool MROSDKJSBridge::jsCall(const std::string& function, const std::string& category, const std::string& callback)
{
    return evaluateJavascript(MorrowScriptText::call(category + "." + function, { callback, callback })) == "true";
}

std::string MROSDKJSBridge::JSgetUserInfo()
{
    return evaluateJavascript("morrow_base.getUserInfo()");
}

std::string MROSDKJSBridge::JSuserGetUserInfo()
{
    return evaluateJavascript("morrow.result.shouldUserGetUserInfo()");
}

std::string MROSDKJSBridge::nativeNetworkChanged(const std::string& status)
{
    return evaluateJavascript(MorrowScriptText::call("morrow.netmonitor.statusChanged", { status }));
}

std::string MROSDKJSBridge::authorizeInitWithHandler(const std::string& appId, std::any handler)
{
    setPoolObject(kAuthorizeHandlerKey, std::move(handler));
    return evaluateJavascript(MorrowScriptText::call("morrow.tauth.init", { appId }) + ";");
}

std::string MROSDKJSBridge::authorizeWithPermissions(const std::vector<std::string>& permissions)
{
    return evaluateJavascript(MorrowScriptText::call("morrow.tauth.login", { joinedPermissions(permissions) }));
}

std::string MROSDKJSBridge::setAccessTokenOpenIDExpirationDate(const std::string& accessToken, const std::string& openId,
    double expirationDate)
{
    return evaluateJavascript("morrow.result.loginComplete(" + MorrowScriptText::literal(accessToken) + ","
        + MorrowScriptText::literal(openId) + "," + MorrowScriptText::number(expirationDate) + ")");
}

bool MROSDKJSBridge::authorizeHandleURL(const std::string& url)
{
    return evaluateJavascript(MorrowScriptText::call("morrow.localresult.handleAuthorizeResult", { url })) == "YES";
}

std::string MROSDKJSBridge::joinedPermissions(const std::vector<std::string>& permissions)
{
    std::string text;
    for (size_t i = 0; i < permissions.size(); ++i)
        text += (i ? "," : "") + permissions[i];
    return text;
}

std::string MROSDKJSBridge::shareToLM(const std::shared_ptr<LMBaseReq>& req)
{
    setPoolObject(kShareRequestKey, req);
    auto message = m_shareCoder ? m_shareCoder->messageOfRequest(req) : nullptr;
    if (!message)
        return "-1";
    return shareMessageToLM(message);
}

std::string MROSDKJSBridge::shareMessageToLM(const std::shared_ptr<LMApiMessage>& message)
{
    setPoolObject(kShareMessageKey, message);
    if (!message || !m_shareCoder)
        return "-1";
    // The JSON goes into script text: every character beyond ASCII (the line separators the
    // engine refuses inside literals among them) is written as an escape.
    std::string json = pf::Json::write(m_shareCoder->scriptDescription(*message));
    std::string escaped;
    escaped.reserve(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
        // U+2028 and U+2029 are E2 80 A8 and E2 80 A9 in UTF-8.
        if (static_cast<unsigned char>(json[i]) == 0xE2 && i + 2 < json.size() && static_cast<unsigned char>(json[i + 1]) == 0x80
            && (static_cast<unsigned char>(json[i + 2]) == 0xA8 || static_cast<unsigned char>(json[i + 2]) == 0xA9)) {
            escaped += static_cast<unsigned char>(json[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            escaped += json[i];
        }
    }
    return evaluateJavascript("morrow.share.shareMessageToLM(" + escaped + ")");
}
