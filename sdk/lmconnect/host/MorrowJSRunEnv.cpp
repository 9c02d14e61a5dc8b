#include "sdk/lmconnect/host/MorrowJSRunEnv.h"

#include "sdk/lmconnect/host/MorrowScriptText.h"

#include "platform/foundation/AsciiText.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/QueryString.h"
#include "platform/foundation/Url.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// A script's number as a float (argument and return code 6): beyond the float's range it is
// the infinity of its sign, never an out-of-range conversion.
float toFloat(double value)
{
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX)
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

std::string describe(const pf::Value& value)
{
    if (const std::string* text = value.asString())
        return *text;
    if (value.isArray() || value.isDictionary())
        return pf::Json::write(value);
    return value.stringValue();
}

std::string formatFloat(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", value);
    return buffer;
}

}

std::shared_ptr<MorrowJSRunEnv> MorrowJSRunEnv::create(std::shared_ptr<MorrowScriptContext> webview, std::weak_ptr<MorrowJSRunEnvDelegate> delegate)
{
    if (!webview)
        return nullptr;
    auto env = std::shared_ptr<MorrowJSRunEnv>(new MorrowJSRunEnv());
    env->m_webview = std::move(webview);
    env->m_delegate = std::move(delegate);
    env->m_webview->attachRunEnv(env);
    if (pf::Device::current().systemMajorVersion() == 4)
        env->m_webview->loadHTMLString(kBlankPage);
    return env;
}

bool MorrowJSRunEnv::registNativeObj(const std::shared_ptr<MorrowJSObject>& object)
{
    if (!object || object->jsObjKey().empty())
        return false;
    m_nativeObjPool[object->jsObjKey()] = object;
    pf::Array functions;
    for (auto& method : object->methodList())
        functions.push_back(pf::Dictionary { { "funcName", method.jsMethodKey }, { "argNum", static_cast<int>(method.funcArgumentNumber()) } });
    m_webview->callJavascriptFunction("SendCmd.createClass", { object->jsObjKey(), pf::Json::write(pf::Value(std::move(functions))) });
    return true;
}

bool MorrowJSRunEnv::removeRegistObjForKey(const std::string& name)
{
    m_nativeObjPool.erase(name);
    return true;
}

std::shared_ptr<MorrowJSObject> MorrowJSRunEnv::registeredObject(const std::string& name) const
{
    auto it = m_nativeObjPool.find(name);
    return it == m_nativeObjPool.end() ? nullptr : it->second;
}

std::vector<std::optional<std::string>> MorrowJSRunEnv::parseQueryParams(std::string_view query, size_t maximumLength)
{
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithEquals, .names = pf::QueryString::Escapes::Kept,
        .values = pf::QueryString::Escapes::ResolvedOrNone, .maximumLength = maximumLength };
    std::vector<std::optional<std::string>> values;
    for (auto& item : pf::QueryString::parse(query, rules))
        values.push_back(std::move(item.value));
    return values;
}

MorrowBridgeValue MorrowJSRunEnv::convertArgument(const std::optional<std::string>& text, int code) const
{
    switch (code) {
    case 1:
        return text ? MorrowBridgeValue(*text) : MorrowBridgeValue();
    case 2: {
        if (!text || text->empty())
            return {};
        auto parsed = pf::Json::parse(*text);
        return parsed ? MorrowBridgeValue(*parsed) : MorrowBridgeValue();
    }
    case 3: {
        pf::Array items;
        if (text && text->size() >= 2) {
            std::string inner = text->substr(1, text->size() - 2);
            size_t start = 0;
            while (true) {
                size_t comma = inner.find(',', start);
                items.push_back(inner.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        }
        return MorrowBridgeValue(pf::Value(std::move(items)));
    }
    case 4:
        return MorrowBridgeValue(text && *text == "true");
    case 5:
        return MorrowBridgeValue(text ? pf::text::intValue(*text) : 0);
    case 6:
        return MorrowBridgeValue(pf::Value(static_cast<double>(toFloat(text ? pf::text::doubleValue(*text) : 0))));
    case 7:
        return MorrowBridgeValue(pf::Value(text ? pf::text::doubleValue(*text) : 0.0));
    case 8: {
        MorrowBridgeValue value;
        if (text)
            value.object = registeredObject(*text);
        return value;
    }
    default:
        return {};
    }
}

std::string MorrowJSRunEnv::convertResult(const MorrowBridgeValue& result, int code)
{
    const pf::Value& value = result.value;
    switch (code) {
    case 1:
        return value.isNone() ? kNullText : describe(value);
    case 2:
        return value.isDictionary() || value.isArray() ? pf::Json::write(value) : kNullText;
    case 3: {
        std::string joined;
        if (const pf::Array* items = value.asArray()) {
            for (size_t i = 0; i < items->size(); ++i) {
                if (i)
                    joined += ',';
                joined += describe((*items)[i]);
            }
        }
        return joined;
    }
    case 4:
        return value.boolValue() ? "true" : "false";
    case 5:
        return std::to_string(value.intValue());
    case 6:
        return formatFloat(toFloat(value.doubleValue()));
    case 7:
        return formatFloat(value.doubleValue());
    default:
        return kNullText;
    }
}

bool MorrowJSRunEnv::shouldStartLoadWithRequest(const std::string& url, int navigationType)
{
    size_t colon = url.find(':');
    std::string scheme = colon == std::string::npos ? std::string() : pf::AsciiText::lowercased(url.substr(0, colon));
    if (scheme != kBridgeScheme) {
        if (scheme == "http" || scheme == "https") {
            pf::Log::line("MorrowJSRunEnv: the script view loads no remote page: " + url);
            return false;
        }
        auto delegate = m_delegate.lock();
        return delegate ? delegate->shouldStartLoadWithRequest(url, navigationType) : true;
    }

    // "morrowjsbridge://object/function?query": names as written, case kept.
    std::string_view rest = std::string_view(url).substr(colon + 1);
    if (rest.substr(0, 2) != "//")
        return false;
    rest.remove_prefix(2);
    rest = rest.substr(0, rest.find('#'));
    std::string_view query;
    size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        query = rest.substr(question + 1);
        rest = rest.substr(0, question);
    }
    size_t slash = rest.find('/');
    std::string_view objectName = rest.substr(0, slash);
    std::string_view functionName = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);

    if (url.size() > m_maximumCallBytes) {
        // Read in part, the call would run with arguments missing; the script hears why.
        constexpr size_t kShownName = 80;
        std::string message = "morrowjsbridge://" + std::string(objectName.substr(0, kShownName)) + "/"
            + std::string(functionName.substr(0, kShownName)) + " refused: the call takes " + std::to_string(url.size())
            + " bytes, more than " + std::to_string(m_maximumCallBytes);
        pf::Log::line("MorrowJSRunEnv: " + message);
        m_webview->callJavascriptFunction("SendCmd.setReturnError", { message });
        return false;
    }

    auto object = registeredObject(std::string(objectName));
    const MorrowMethodDescription* method = object ? object->findMethod(std::string(functionName)) : nullptr;
    if (!method)
        return false;
    // The dispatcher, the object and the function stay alive while the call runs, even if a
    // script re-registers or the host is made anew.
    auto keepSelf = shared_from_this();
    auto keepObject = object;
    MorrowMethodDescription call = *method;

    std::vector<MorrowBridgeValue> arguments;
    if (call.funcArgumentNumber() > 0) {
        auto values = parseQueryParams(query, m_maximumCallBytes);
        for (size_t i = 0; i < call.funcArgumentNumber(); ++i)
            arguments.push_back(convertArgument(i < values.size() ? values[i] : std::nullopt, call.attribute[i]));
    }
    MorrowBridgeValue result = call.handler(arguments);
    m_webview->callJavascriptFunction("SendCmd.setReturnValue", { convertResult(result, call.returnType) });
    return true;
}

void MorrowJSRunEnv::webViewDidStartLoad()
{
    if (auto delegate = m_delegate.lock())
        delegate->webViewDidStartLoad();
}

void MorrowJSRunEnv::webViewDidFinishLoad()
{
    if (auto delegate = m_delegate.lock())
        delegate->webViewDidFinishLoad();
}

void MorrowJSRunEnv::webViewDidFailLoadWithError(const std::string& description)
{
    if (auto delegate = m_delegate.lock())
        delegate->webViewDidFailLoadWithError(description);
}
