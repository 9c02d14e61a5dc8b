#include "sdk/lmconnect/MROSDKJSBridge.h"

#include "sdk/lmconnect/MROSDKJSBridgeTools.h"
#include "sdk/lmconnect/MorrowScriptText.h"
#include "sdk/lmconnect/update/JsUpdateManager.h"

namespace {

std::shared_ptr<MROSDKJSBridge>& sharedBridge()
{
    static std::shared_ptr<MROSDKJSBridge> bridge;
    return bridge;
}

std::map<std::string, std::any>& userDictionary()
{
    static std::map<std::string, std::any> table;
    return table;
}

std::map<std::string, std::shared_ptr<APIResponse>>& responseDictionary()
{
    static std::map<std::string, std::shared_ptr<APIResponse>> table;
    return table;
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
    document.body.appendChild(frame);
    var value = SendCmd._RETURN_VALUE;
    SendCmd._RETURN_VALUE = undefined;
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
        bridge->evaluateJavascript(script.text);
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

void MROSDKJSBridge::registerCommonObjects()
{
    m_runEnv->registNativeObj(MROSDKJSBridgeTools::logObject());
    m_runEnv->registNativeObj(MROSDKJSBridgeTools::openUiObject());
    m_runEnv->registNativeObj(MROSDKJSBridgeTools::dataMgrObject());
    m_runEnv->registNativeObj(MROSDKJSBridgeTools::dataReportObject());
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
    std::map<std::string, std::string> out;
    size_t start = 0;
    while (start <= query.size()) {
        size_t amp = query.find('&', start);
        std::string part = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        size_t eq = part.find('=');
        if (eq != std::string::npos) {
            size_t second = part.find('=', eq + 1);
            out[part.substr(0, eq)] = part.substr(eq + 1, second == std::string::npos ? std::string::npos : second - eq - 1);
        }
        if (amp == std::string::npos)
            break;
        start = amp + 1;
    }
    return out;
}

bool MROSDKJSBridge::jsCall(const std::string& function, const std::string& category, const std::string& callback)
{
    return evaluateJavascript(MorrowScriptText::call(category + "." + function, { callback, callback })) == "true";
}
