#include "sdk/lmconnect/lmapi/LMWebViewKit.h"

#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiResultObject.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"

#include "platform/foundation/Json.h"
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
    size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
    if (at == std::string_view::npos)
        return out;
    std::string_view rest = text.substr(at + separator.size());
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('&', start);
        std::string_view piece = rest.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        size_t equals = piece.find('=');
        if (equals != std::string_view::npos && equals > 0 && piece.find('=', equals + 1) == std::string_view::npos) {
            auto key = pf::Url::unescape(piece.substr(0, equals));
            auto value = pf::Url::unescape(piece.substr(equals + 1));
            if (key && value && !key->empty())
                out[*key] = *value;
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
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
