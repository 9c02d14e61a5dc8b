#include "sdk/lmconnect/lmapi/LMWebViewKit.h"

#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"

#include "platform/foundation/Json.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"

namespace {

bool contains(const std::string& text, const std::string& part) { return !part.empty() && text.find(part) != std::string::npos; }

}

const std::shared_ptr<LMWebViewKit>& LMWebViewKit::instance()
{
    // Never destroyed; a new launch forgets the window and the timer it held.
    static const auto* kit = [] {
        auto* made = new std::shared_ptr<LMWebViewKit>(std::make_shared<LMWebViewKit>());
        pf::ResetRegistry::add([weak = std::weak_ptr<LMWebViewKit>(*made)] {
            if (auto self = weak.lock()) {
                self->m_timer.reset();
                self->m_webViewKit.reset();
            }
        });
        return made;
    }();
    return *kit;
}

bool LMWebViewKit::canHanleOpenUrlFromSafari(const pf::Url& url)
{
    const std::string& text = url.absoluteString();
    return contains(text, "morrow" + LMApiDatastore::instance().appId) && contains(text, kAuthorizationHost);
}

std::shared_ptr<LMApiMessage> LMWebViewKit::messageWithSafariUrl(const pf::Url& url)
{
    if (!canHanleOpenUrlFromSafari(url))
        return nullptr;
    auto entries = dictionaryByParseUrlFromSeparator(url.absoluteString(), "?#");
    const std::string action = entries["action"];
    if (action != "shareToLM" && action != "share")
        return nullptr;
    auto result = std::make_shared<LMApiResultObject>();
    const std::string outcome = entries["result"];
    if (outcome == "cancel") {
        result->error = "-4";
        result->errorDescription = "the user give up the current operation";
    } else if (outcome == "complete") {
        pf::Value response = JSONValue(entries["response"]).value_or(pf::Value());
        result->error = response["ret"].stringValue();
        result->errorDescription = response["msg"].stringValue();
    } else {
        result->error = "-5";
        result->errorDescription = "unknown error";
    }
    return LMApiMessage::messageWithObject(result, LMApiMessage::AnswerFromLM);
}

std::map<std::string, std::string> LMWebViewKit::dictionaryByParseUrlFromSeparator(std::string_view text, std::string_view separator)
{
    std::map<std::string, std::string> out;
    auto query = pf::QueryString::afterSeparator(text, separator);
    if (!query)
        return out;
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithOneEquals, .requireName = true,
        .names = pf::QueryString::Escapes::ResolvedOrSkipped, .values = pf::QueryString::Escapes::ResolvedOrSkipped };
    for (auto& item : pf::QueryString::parse(*query, rules))
        out[std::move(item.name)] = std::move(*item.value);
    return out;
}

std::optional<pf::Value> LMWebViewKit::JSONValue(std::string_view text) { return pf::Json::parse(text); }

bool LMWebViewKit::shareToFriend(const pf::Value&) const { return true; }

void LMWebViewKit::setWebViewKit(std::shared_ptr<MRWebViewKit> kit)
{
    m_webViewKit = std::move(kit);
    if (m_webViewKit)
        m_webViewKit->setDelegate(weak_from_this());
}

void LMWebViewKit::openWebKit()
{
    if (m_timer) {
        pf::RunLoop::main().cancel(*m_timer);
        m_timer.reset();
    }
    // Held here, so that a delegate call made while it opens cannot drop it.
    if (auto kit = m_webViewKit)
        kit->open();
}

bool LMWebViewKit::isNewLMBrowserInstall() { return LMOpenApiUtility::canOpenURL(pf::Url::fromString("mlmbrowser://")); }

bool LMWebViewKit::isOldLMBrowserInstall() { return LMOpenApiUtility::canOpenURL(pf::Url::fromString("mlbbrowser://")); }

bool LMWebViewKit::webViewKitShouldStartLoadWithRequest(MRWebViewKit& kit, const pf::UrlRequest& request, pf::WebNavigationType)
{
    const std::string& text = request.url();
    if (text.empty())
        return true;
    const auto& store = LMApiDatastore::instance();
    const bool ours = contains(text, "morrow" + store.appId) || contains(text, store.scheme) || contains(text, store.appId);
    if (ours && contains(text, kAuthorizationHost) && dictionaryByParseUrlFromSeparator(text, "?#")["action"] == "shareToLM") {
        // The window goes once the page has decided; the load itself is still answered.
        auto keep = kit.shared_from_this();
        keep->doClose();
    }
    return true;
}
