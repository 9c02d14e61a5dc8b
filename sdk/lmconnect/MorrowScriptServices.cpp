#include "sdk/lmconnect/MorrowScriptServices.h"

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/host/MorrowScriptText.h"
#include "sdk/lmconnect/apps/MorrowSessionDelegate.h"
#include "sdk/lmconnect/openapi/MRAPIRequest.h"
#include "sdk/lmconnect/openapi/MROpenSDKErrorUtil.h"
#include "sdk/lmconnect/openapi/MorrowSession.h"

#include <functional>

namespace {

std::optional<std::string> textFor(const pf::Value& params, const char* key)
{
    const std::string* text = params[key].asString();
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

MorrowParams paramsFrom(const pf::Value& value)
{
    MorrowParams params;
    if (const pf::Dictionary* entries = value.asDictionary()) {
        for (auto& [key, entry] : *entries)
            params.set(key, entry);
    }
    return params;
}

}

MorrowScriptServices::MorrowScriptServices(std::weak_ptr<MorrowSession> session, std::weak_ptr<MorrowSessionDelegate> delegate)
    : m_session(std::move(session))
    , m_delegate(std::move(delegate))
{
}

void MorrowScriptServices::addFunction(MorrowJSObject& oauth, const char* name, Service service)
{
    // Each function takes the script's dictionary (argument code 2) and reaches the services
    // only while they live. All are registered with "no result", as the scripts know them.
    oauth.transformNativeMethod(
        [weak = weak_from_this(), service = std::move(service)](const std::vector<MorrowBridgeValue>& a) {
            if (auto self = weak.lock())
                service(*self, a[0].value);
            return MorrowBridgeValue();
        },
        1, name, 9, { 2 });
}

void MorrowScriptServices::addRequestFunctionsTo(MorrowJSObject& oauth)
{
    addFunction(oauth, "httpGet", [](MorrowScriptServices& s, const pf::Value& p) { s.httpGet(p); });
    addFunction(oauth, "httpPost", [](MorrowScriptServices& s, const pf::Value& p) { s.httpPost(p); });
}

void MorrowScriptServices::addRelayFunctionsTo(MorrowJSObject& oauth)
{
    addFunction(oauth, "httpJsResponseCallback", [](MorrowScriptServices& s, const pf::Value& p) { s.httpJsResponseCallback(p); });
    addFunction(oauth, "httpJsResponseCallbackType2", [](MorrowScriptServices& s, const pf::Value& p) { s.httpJsResponseCallbackType2(p); });
    addFunction(oauth, "httpJsResponseCallbackType3", [](MorrowScriptServices& s, const pf::Value& p) { s.httpJsResponseCallbackType3(p); });
    addFunction(oauth, "httpJsResponseCallbackUserInfo", [](MorrowScriptServices& s, const pf::Value& p) { s.httpJsResponseCallbackUserInfo(p); });
    addFunction(oauth, "httpJsResponseNotShowCallbackUserInfo", [](MorrowScriptServices& s, const pf::Value& p) { s.httpJsResponseNotShowCallbackUserInfo(p); });
}

void MorrowScriptServices::httpGet(const pf::Value& params)
{
    send(params, "GET", params["params"]);
}

void MorrowScriptServices::httpPost(const pf::Value& params)
{
    // The body is what native code parked for the script under its "key".
    pf::Value parameters;
    if (auto key = textFor(params, "key")) {
        if (const std::any* parked = MROSDKJSBridge::getUserDictionary(*key)) {
            if (auto* value = std::any_cast<pf::Value>(parked))
                parameters = *value;
        }
    }
    send(params, "POST", parameters);
}

void MorrowScriptServices::send(const pf::Value& params, const std::string& method, const pf::Value& parameters)
{
    auto session = m_session.lock();
    auto url = textFor(params, "url");
    if (!session || !url)
        return;
    auto call = APIBase::initWithTarget(session,
        [weak = weak_from_this()](const std::shared_ptr<APIResponse>& response) {
            if (auto self = weak.lock())
                self->localHttpCallback(response);
        },
        method);
    call->openUrl(*url, textFor(params, "accesstoken"), textFor(params, "openid"), textFor(params, "appid"), paramsFrom(parameters));
    std::string key = std::to_string(call->seq());
    session->addAPIRequest(call);
    m_callbacks[key] = textFor(params, "callback").value_or(std::string());
}

void MorrowScriptServices::localHttpCallback(const std::shared_ptr<APIResponse>& response)
{
    if (!response)
        return;
    auto it = m_callbacks.find(std::to_string(response->seq));
    if (it == m_callbacks.end())
        return;
    std::string callback = it->second;
    m_callbacks.erase(it);
    MROSDKJSBridge::addResponseDictionary(response, callback);
    askScript(MorrowScriptText::call("morrow.result.httpResponse", { callback, callback }));
}

std::shared_ptr<APIResponse> MorrowScriptServices::takeReply(const pf::Value& params)
{
    auto key = textFor(params, "key");
    auto reply = key ? MROSDKJSBridge::getResponseDictionary(*key) : nullptr;
    if (reply) {
        if (auto session = m_session.lock())
            session->deleteAPIRequestBySeq(std::to_string(reply->seq));
    }
    return reply;
}

void MorrowScriptServices::httpJsResponseCallback(const pf::Value& params)
{
    auto reply = takeReply(params);
    auto delegate = m_delegate.lock();
    if (reply && delegate)
        delegate->deliver(textFor(params, "callback").value_or(std::string()), reply);
}

void MorrowScriptServices::httpJsResponseCallbackType2(const pf::Value& params)
{
    auto reply = takeReply(params);
    auto delegate = m_delegate.lock();
    std::string callback = textFor(params, "callback").value_or(std::string());
    if (!reply || !delegate || !MorrowSessionDelegate::callbackNamed(callback))
        return;
    if (reply->retCode == 0)
        MROpenSDKErrorUtil::apiResponseConvert(*reply);
    delegate->deliver(callback, reply);
}

std::string MorrowScriptServices::httpJsResponseCallbackType3(const pf::Value& params)
{
    auto reply = takeReply(params);
    if (!reply)
        return "shibai";
    std::shared_ptr<MRAPIRequest> request;
    if (const std::any* parked = MROSDKJSBridge::getUserDictionary("onCGIRequestDidResponse:")) {
        if (auto* typed = std::any_cast<std::shared_ptr<MRAPIRequest>>(parked))
            request = *typed;
    }
    if (auto delegate = m_delegate.lock()) {
        if (reply->retCode == 0)
            MROpenSDKErrorUtil::apiResponseConvert(*reply);
        delegate->cgiRequestDidResponse(request, reply);
    }
    return "chenggong";
}

bool MorrowScriptServices::takeNickName(const APIResponse& response)
{
    const std::string* nick = response.jsonResponse["nickname"].asString();
    if (response.retCode != 0 || !nick)
        return false;
    m_nickName = *stringByMROSDKReplacingHtmlEscapes(*nick);
    return true;
}

void MorrowScriptServices::httpJsResponseCallbackUserInfo(const pf::Value& params)
{
    auto reply = takeReply(params);
    if (!reply)
        return;
    bool wanted = scriptWantsUserInfo();
    bool taken = takeNickName(*reply);
    if (!wanted) {
        if (taken)
            offerNickName();
        return;
    }
    if (auto delegate = m_delegate.lock())
        delegate->getUserInfoResponse(reply);
}

std::string MorrowScriptServices::httpJsResponseNotShowCallbackUserInfo(const pf::Value& params)
{
    auto reply = takeReply(params);
    if (!reply)
        return "";
    bool wanted = scriptWantsUserInfo();
    if (takeNickName(*reply) && !wanted)
        offerNickName();
    return "字符串";
}

void MorrowScriptServices::getUserInfoNotUserResponse(const std::shared_ptr<APIResponse>& response)
{
    if (!response)
        return;
    if (auto session = m_session.lock())
        session->deleteAPIRequestBySeq(std::to_string(response->seq));
    if (takeNickName(*response))
        offerNickName();
}

void MorrowScriptServices::offerNickName()
{
    if (m_nickReceiver)
        m_nickReceiver(m_nickName);
}

bool MorrowScriptServices::getUserInfo()
{
    auto bridge = MROSDKJSBridge::shareInstance();
    return bridge && bridge->jsCall("getUserInfo", "morrow.info", "getUserInfoResponse:");
}

bool MorrowScriptServices::getUserInfoNotShow()
{
    auto bridge = MROSDKJSBridge::shareInstance();
    return bridge && bridge->jsCall("getUserInfo", "morrow.info", "getUserInfoNotShowResponse:");
}

std::string MorrowScriptServices::askScript(const std::string& script)
{
    auto bridge = MROSDKJSBridge::shareInstance();
    return bridge ? bridge->evaluateJavascript(script) : std::string();
}

bool MorrowScriptServices::scriptWantsUserInfo()
{
    auto bridge = MROSDKJSBridge::shareInstance();
    return bridge && bridge->JSuserGetUserInfo() == "true";
}

std::optional<std::string> MorrowScriptServices::stringByMROSDKReplacingHtmlEscapes(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    std::string out = *text;
    replaceAll(out, "\\n", "\n");
    replaceAll(out, "&#92;", "\\");
    replaceAll(out, "&#39;", "'");
    replaceAll(out, "&quot;", "\"");
    replaceAll(out, "&lt;", "<");
    replaceAll(out, "&gt;", ">");
    return out;
}
