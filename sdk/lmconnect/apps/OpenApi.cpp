#include "sdk/lmconnect/apps/OpenApi.h"

#include "sdk/lmconnect/MorrowJSObject.h"
#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/apps/APIResponseCoding.h"
#include "sdk/lmconnect/apps/MorrowApiInterface.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/update/JsUpdateVersionController.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct State {
    std::string appSchema;
    std::string pasteboardName;
    std::weak_ptr<MorrowOAuth> oldApi;
    std::weak_ptr<MorrowSessionDelegate> apiDelegate;
    std::weak_ptr<MorrowSessionDelegate> loginDelegate;
    int replyDepth { 0 };
};

// Never destroyed: a session reaches it from its destructor, which may run among the static
// destructors at process exit, after this state would otherwise be gone.
State& state()
{
    static State* s = new State;
    return *s;
}


std::string fieldText(const pf::Value& params, const char* key)
{
    return params[key].optionalString().value_or(std::string());
}

std::optional<pf::Dictionary> readArchive(const std::optional<pf::Bytes>& data)
{
    if (!data || data->empty())
        return std::nullopt;
    auto value = pf::KeyedUnarchiver::unarchivedValue(*data);
    if (!value || !value->asDictionary())
        return std::nullopt;
    return *value->asDictionary();
}

// The whole seconds of a reply's "expires_in", a text or a number; none when it is neither.
// Another app writes it, so anything beyond the distant future is cut to it (a real number of
// any size, a text of many digits) and a value that is no number at all (NaN) is none.
std::optional<long long> integerOf(const pf::Value& value)
{
    constexpr double kLimit = OpenApi::kDistantFuture;
    double seconds;
    if (const std::string* text = value.asString()) {
        errno = 0;
        char* end = nullptr;
        long long n = std::strtoll(text->c_str(), &end, 10);
        seconds = errno == ERANGE ? (n < 0 ? -kLimit : kLimit) : double(n);
    } else if (auto integer = value.asInteger()) {
        seconds = double(*integer);
    } else if (value.isNumber()) {
        seconds = value.doubleValue();
        if (std::isnan(seconds))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return static_cast<long long>(std::clamp(seconds, -kLimit, kLimit));
}

std::string lowerFirst(std::string text)
{
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = char(text[0] - 'A' + 'a');
    return text;
}

const pf::Value& at(const pf::Dictionary& dict, std::string_view key)
{
    const pf::Value* value = dict.find(key);
    return value ? *value : pf::Value::missing();
}

}

bool OpenApi::registerApp(const std::string& appId)
{
    state().appSchema = "morrow" + appId;
    return true;
}

bool OpenApi::registerAppWithDelegateAndOldApi(const std::string& appId, std::weak_ptr<MorrowSessionDelegate> delegate,
    std::weak_ptr<MorrowOAuth> session)
{
    state().oldApi = std::move(session);
    state().apiDelegate = std::move(delegate);
    return registerApp(appId);
}

void OpenApi::clearParam()
{
    state().oldApi.reset();
    state().apiDelegate.reset();
    state().loginDelegate.reset();
}

void OpenApi::clearParamIfSessionGone()
{
    if (state().oldApi.expired())
        clearParam();
}

void OpenApi::setLoginDelegate(std::weak_ptr<MorrowSessionDelegate> delegate) { state().loginDelegate = std::move(delegate); }
const std::string& OpenApi::appSchema() { return state().appSchema; }
const std::string& OpenApi::pasteboardName() { return state().pasteboardName; }

bool OpenApi::handleOpenURL(const pf::Url& url)
{
    if (MorrowApiInterface::canOpenURL(url))
        return MorrowApiInterface::handleOpenURL(url, state().apiDelegate.lock());
    if (!state().appSchema.empty() && url.hasScheme(state().appSchema) && url.host() == kReplyHost)
        return processMessage(url);
    if (auto session = state().oldApi.lock())
        return session->handleOpenURL(url);
    return false;
}

bool OpenApi::canHandleOpenURL(const pf::Url& url)
{
    return !state().appSchema.empty() && url.hasScheme(state().appSchema) && url.host() == kReplyHost;
}

bool OpenApi::processMessage(const pf::Url& url)
{
    if (state().appSchema.empty() || !url.hasScheme(state().appSchema))
        return false;
    return readReply(url, state().oldApi.lock(), state().loginDelegate.lock(), true);
}

bool OpenApi::processMessageCallByOAuth(const pf::Url& url, const std::shared_ptr<MorrowOAuth>& handler)
{
    // The scripts may hand a reply back to us from inside the handling of one.
    if (state().replyDepth > 0)
        return false;
    ++state().replyDepth;
    bool result = readReply(url, handler, handler, false);
    --state().replyDepth;
    return result;
}

bool OpenApi::readReply(const pf::Url& url, const std::shared_ptr<MorrowOAuth>& session,
    const std::shared_ptr<MorrowSessionDelegate>& loginDelegate, bool missingNamedMeansCancel)
{
    auto parts = url.pathComponents();
    if (parts.size() != 3) {
        if (!session)
            return false;
        ++state().replyDepth;
        bool taken = session->handleOpenURL(url);
        --state().replyDepth;
        return taken;
    }
    const std::string& commandText = parts[2];
    // The command is another app's text: a number too large for an int is no command (0).
    int command = 0;
    if (std::from_chars(commandText.data(), commandText.data() + commandText.size(), command).ec != std::errc())
        command = 0;
    pf::Dictionary query = dictionaryByParseUrlFromSeparator(url.absoluteString(), "?");
    std::optional<pf::Dictionary> reply;
    const pf::Value* general = query.find("generalpastboard");
    if (general && general->optionalString() == std::optional<std::string>("1")) {
        reply = getDictionaryFromGeneralPasteBoard(state().pasteboardName);
    } else {
        reply = getDictionaryFromPasteBoard(state().pasteboardName);
        if (!reply && missingNamedMeansCancel && !pf::Pasteboard::withName(state().pasteboardName, false))
            reply = pf::Dictionary { { "user_cancelled", "YES" } };
    }

    auto apiDelegate = state().apiDelegate.lock();
    auto response = [&]() -> std::shared_ptr<APIResponse> {
        const pf::Value* data = reply ? reply->find("response_data") : nullptr;
        if (!data || !data->asData())
            return nullptr;
        return pf::KeyedUnarchiver::unarchivedObject<APIResponse>(*data->asData());
    };
    if (!commandText.empty() && commandText != std::to_string(command)) {
        if (auto r = response(); r && apiDelegate) {
            if (!apiDelegate->deliver(lowerFirst(commandText) + "Response", r))
                apiDelegate->responseDidReceived(r, commandText);
        }
        return true;
    }
    if (command == 1) {
        if (auto r = response(); r && apiDelegate)
            apiDelegate->sendStoryResponse(r);
        return true;
    }
    if (command != 0 || !reply || !session)
        return true;
    if (at(*reply, "user_cancelled").optionalString() == std::optional<std::string>("YES")) {
        if (loginDelegate)
            loginDelegate->morrowDidNotLogin(true);
        return true;
    }
    session->setOpenId(at(*reply, "openid").optionalString());
    session->setAccessToken(at(*reply, "access_token").optionalString());
    std::optional<double> expiry = expiryForLifetime(reply->find("expires_in"));
    bool refused = !expiry;
    session->setExpirationDate(expiry);
    session->setEncryToken(at(*reply, "encrytoken").optionalString());
    if (loginDelegate) {
        bool complete = !refused && !session->openId().empty() && !session->accessToken().empty() && session->expirationDate();
        if (complete)
            loginDelegate->morrowDidLogin();
        else
            loginDelegate->morrowDidNotLogin(false);
    }
    return true;
}

int OpenApi::lmVersion()
{
    if (pf::Application::shared().canOpenURL("mlmopensdkapiV2://lmapp"))
        return 3;
    if (pf::Application::shared().canOpenURL("mlmOpensdkSSoLogin://lmapp"))
        return 2;
    if (pf::Application::shared().canOpenURL("mlm://lmapp"))
        return 1;
    return 0;
}

int OpenApi::lzoneVersion()
{
    static const std::pair<const char*, int> kProbes[] = { { "mlzoneopensdkapiV2://lzapp", 5 }, { "mlzoneopensdkapi19://lzapp", 4 },
        { "mlzoneopensdkapi://lzapp", 3 }, { "mlzoneopensdk://lzapp", 2 }, { "mlzone://lzapp", 1 } };
    for (const auto& [url, version] : kProbes) {
        if (pf::Application::shared().canOpenURL(url))
            return version;
    }
    return 0;
}

bool OpenApi::isLZoneInstalled() { return pf::Application::shared().canOpenURL("mlzoneopensdk://lzapp") || pf::Application::shared().canOpenURL("mlzoneopensdkapi://lzapp"); }
bool OpenApi::isSupportGeneralPastboard() { return pf::Application::shared().canOpenURL("mlmopensdkapiV2://"); }
bool OpenApi::isLZoneSupportGeneralPastboard() { return pf::Application::shared().canOpenURL("mlzoneopensdkapiV2://"); }

std::optional<double> OpenApi::expiryForLifetime(const pf::Value* expiresIn)
{
    if (!expiresIn)
        return pf::RunLoop::main().clock().now() + kDefaultLifetime;
    auto seconds = integerOf(*expiresIn);
    if (!seconds || *seconds < 0)
        return std::nullopt;
    if (*seconds == 0)
        return kDistantFuture;
    return std::min(kDistantFuture, pf::RunLoop::main().clock().now() + double(*seconds));
}

pf::Dictionary OpenApi::dictionaryByParseUrlFromSeparator(const std::string& text, const std::string& separator)
{
    pf::Dictionary result;
    auto query = pf::QueryString::afterSeparator(text, separator);
    if (!query)
        return result;
    const pf::QueryString::Rules rules { .pieces = pf::QueryString::Pieces::WithOneEquals, .requireName = true,
        .names = pf::QueryString::Escapes::ResolvedOrSkipped, .values = pf::QueryString::Escapes::ResolvedOrSkipped };
    for (auto& item : pf::QueryString::parse(*query, rules))
        result.set(std::move(item.name), std::move(*item.value));
    return result;
}

std::optional<std::string> OpenApi::saveDictionaryToPasteBoard(const pf::Dictionary& dict, const std::string& name)
{
    auto board = name.empty() ? pf::Pasteboard::withUniqueName() : pf::Pasteboard::withName(name, true);
    if (!board)
        return std::nullopt;
    board->setPersistent(true);
    board->setData(pf::KeyedArchiver::archivedValue(pf::Value(dict)), kNamedType);
    state().pasteboardName = board->name();
    return board->name();
}

std::optional<std::string> OpenApi::saveDictionaryByGeneralPastboardWithSchema(const pf::Dictionary& dict, const std::string& schema)
{
    std::string type = kGeneralTypePrefix + schema;
    pf::Pasteboard::general()->setData(pf::KeyedArchiver::archivedValue(pf::Value(dict)), type);
    state().pasteboardName = type;
    return type;
}

std::optional<pf::Dictionary> OpenApi::getDictionaryFromPasteBoard(const std::string& name)
{
    auto board = name.empty() ? nullptr : pf::Pasteboard::withName(name, false);
    if (!board)
        return std::nullopt;
    return readArchive(board->dataForType(kNamedType));
}

std::optional<pf::Dictionary> OpenApi::getDictionaryFromGeneralPasteBoard(const std::string& type)
{
    if (type.empty())
        return std::nullopt;
    auto board = pf::Pasteboard::general();
    auto data = board->dataForType(type);
    board->removeType(type);
    return readArchive(data);
}

bool OpenApi::launch(const std::string& format, const std::vector<std::string>& values)
{
    std::string text;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '@') {
            text += next < values.size() ? values[next++] : std::string();
            ++i;
        } else {
            text += format[i];
        }
    }
    auto url = pf::Url::fromString(pf::Url::escapeLegacy(text));
    return url && pf::Application::shared().openURL(*url);
}

bool OpenApi::openLMWithCommand(unsigned command, const pf::Dictionary& data)
{
    if (lmVersion() < 2 || command != 0 || !MrApiTool::isRegistSchemeInfoPlistFile(state().appSchema))
        return false;
    bool general = isSupportGeneralPastboard();
    auto place = general ? saveDictionaryByGeneralPastboardWithSchema(data, state().appSchema) : saveDictionaryToPasteBoard(data);
    if (!place)
        return false;
    return launch(general ? "%@://%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@?generalpastboard=0",
        { kLMScheme, kLMHost, state().appSchema, *place });
}

bool OpenApi::openLZoneWithCommandStr(const std::string& command, const pf::Dictionary& data)
{
    if (lzoneVersion() < 3 || !MrApiTool::isRegistSchemeInfoPlistFile(state().appSchema))
        return false;
    bool general = isLZoneSupportGeneralPastboard();
    auto place = general ? saveDictionaryByGeneralPastboardWithSchema(data, state().appSchema) : saveDictionaryToPasteBoard(data);
    if (!place)
        return false;
    return launch(general ? "%@://%@/%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@/%@?generalpastboard=0",
        { kLZoneScheme, kLZoneHost, state().appSchema, *place, command });
}

bool OpenApi::niceAuthorizeWithPermission(const pf::Value& permissions, std::weak_ptr<MorrowSessionDelegate> delegate,
    int firstCall, const std::string& appId)
{
    std::string name = pf::Bundle::main()->displayName();
    if (appId.empty() || name.empty())
        return false;
    pf::Dictionary request { { "scope", permissions }, { "app_id", appId }, { "client_id", appId }, { "app_name", name },
        { "response_type", "token" } };
    bool opened = firstCall == 1 ? (openLMWithCommand(0, request) || openLZoneWithCommandStr("0", request))
                                 : (openLZoneWithCommandStr("0", request) || openLMWithCommand(0, request));
    if (opened)
        state().loginDelegate = std::move(delegate);
    return opened;
}

bool OpenApi::canParseURL(const pf::Url& url) { return pf::Application::shared().canOpenURL(url); }
bool OpenApi::canParseApplicationUrlStr(const std::string& text) { return pf::Application::shared().canOpenURL(std::string_view(text)); }

std::optional<std::string> OpenApi::saveDictionaryByGeneralPastboard(const pf::Dictionary& dict)
{
    return saveDictionaryByGeneralPastboardWithSchema(dict, state().appSchema);
}

bool OpenApi::openLZoneWithCommand(unsigned command, const pf::Dictionary& data)
{
    return openLZoneWithCommandStr(std::to_string(command), data);
}

bool OpenApi::openLZone()
{
    if (!isLZoneInstalled())
        return false;
    return launch("mlzoneopensdk://lzapp/%@/", { state().appSchema });
}

bool OpenApi::sendCommandToLZoneParams(const std::string& command, const pf::Dictionary& params)
{
    return openLZoneWithCommandStr(command, params);
}

bool OpenApi::shareWithLZoneWithData(const pf::Dictionary& data)
{
    return openLZoneWithCommand(1, data);
}

namespace {

// The sign-in request of a caller-described hand-off, in its fixed order; the first missing
// value ends it. None when the app id or the application's name is missing.
std::optional<pf::Dictionary> describedRequest(const pf::Value& params)
{
    auto appId = params["appid"].optionalString();
    std::string name = pf::Bundle::main()->displayName();
    if (!appId || appId->empty() || name.empty())
        return std::nullopt;
    const std::pair<const char*, std::optional<std::string>> entries[] = {
        { "scope", params["permission"].optionalString() },
        { "app_id", appId },
        { "client_id", appId },
        { "app_name", name },
        { "response_type", params["ResponseType"].optionalString().value_or("token") },
    };
    pf::Dictionary request;
    for (const auto& [key, value] : entries) {
        if (!value)
            break;
        request.set(key, *value);
    }
    return request;
}

}

std::string OpenApi::sendCommandToLMWith(const pf::Value& params)
{
    auto request = describedRequest(params);
    if (!request)
        return "false";
    std::string scheme = fieldText(params, "appScheme");
    // The first copy lies on a named board even when the app reads the general one.
    if (!saveDictionaryToPasteBoard(*request))
        return "false";
    bool general = isSupportGeneralPastboard();
    auto place = general ? saveDictionaryByGeneralPastboardWithSchema(*request, scheme) : saveDictionaryToPasteBoard(*request);
    if (!place)
        return "false";
    bool opened = launch(general ? "%@://%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@?generalpastboard=0",
        { fieldText(params, "LMApiScheme"), fieldText(params, "LMHost"), scheme, *place });
    return opened ? "true" : "false";
}

std::string OpenApi::sendCommandToLZoneWith(const pf::Value& params)
{
    auto request = describedRequest(params);
    if (!request)
        return "false";
    std::string scheme = fieldText(params, "appScheme");
    bool general = isLZoneSupportGeneralPastboard();
    auto place = general ? saveDictionaryByGeneralPastboardWithSchema(*request, scheme) : saveDictionaryToPasteBoard(*request);
    if (!place)
        return "false";
    bool opened = launch(general ? "%@://%@/%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@/%@?generalpastboard=0",
        { fieldText(params, "LZoneApiScheme"), fieldText(params, "LZoneHost"), scheme, *place, "0" });
    return opened ? "true" : "false";
}

pf::Dictionary OpenApi::scriptRequestDictionary(const pf::Value& params)
{
    pf::Dictionary request;
    auto add = [&](const char* key, const std::optional<std::string>& value) {
        if (value)
            request.set(key, *value);
    };
    auto appId = params["appid"].optionalString();
    add("scope", params["permission"].optionalString());
    add("app_id", appId);
    add("client_id", appId);
    std::string name = pf::Bundle::main()->displayName();
    add("app_name", name.empty() ? std::nullopt : std::optional<std::string>(name));
    add("response_type", params["ResponseType"].optionalString().value_or("token"));
    add("jsVersion", params["jsVersion"].optionalString());
    add("bundleId", params["bundleId"].optionalString());
    for (const auto& [key, value] : MrApiTool::SDKInfo())
        request.set(key, value);
    return request;
}

std::shared_ptr<MorrowJSObject> OpenApi::openapiObject()
{
    auto object = std::make_shared<MorrowJSObject>("openapi");
    auto canRequest = [](const pf::Value& params) {
        return !fieldText(params, "appid").empty() && !pf::Bundle::main()->displayName().empty();
    };
    object->transformNativeMethod([canRequest](const std::vector<MorrowBridgeValue>& a) {
        if (!canRequest(a[0].value))
            return MorrowBridgeValue();
        return MorrowBridgeValue::optionalText(saveDictionaryToPasteBoard(scriptRequestDictionary(a[0].value)));
    }, 1, "saveDictionary", 1, { 2 });
    object->transformNativeMethod([canRequest](const std::vector<MorrowBridgeValue>& a) {
        std::string schema = fieldText(a[0].value, "appScheme");
        if (!canRequest(a[0].value) || schema.empty())
            return MorrowBridgeValue();
        return MorrowBridgeValue::optionalText(saveDictionaryByGeneralPastboardWithSchema(scriptRequestDictionary(a[0].value), schema));
    }, 1, "saveDictionaryByGeneralPastboardWithSchema", 1, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        return MorrowBridgeValue(launch("%@", { fieldText(a[0].value, "url") }));
    }, 1, "openURL", 4, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        return MorrowBridgeValue(pf::Application::shared().canOpenURL(fieldText(a[0].value, "url")));
    }, 1, "isSupportPastboard", 4, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(pf::Bundle::main()->displayName());
    }, 1, "getAppName", 1, { 1 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(int(pf::Device::current().systemVersionFloat()));
    }, 0, "getSystemOSVersion", 5, {});
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(pf::Bundle::main()->bundleIdentifier());
    }, 0, "getBundleIdentifier", 1, {});
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(JsUpdateVersionController::getVersion());
    }, 0, "getJSVersion", 1, {});
    return object;
}

std::shared_ptr<MorrowJSObject> OpenApi::openApiObject()
{
    auto object = std::make_shared<MorrowJSObject>("openApi");
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        const pf::Dictionary* params = a[0].value.asDictionary();
        if (params) {
            for (const auto& [key, value] : *params) {
                if (auto text = value.optionalString(); text && pf::Application::shared().canOpenURL(*text))
                    return MorrowBridgeValue("true");
            }
        }
        return MorrowBridgeValue("false");
    }, 1, "isAppVersion", 1, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        auto url = pf::Url::fromString(fieldText(a[0].value, "urlStr"));
        if (!url)
            return MorrowBridgeValue("NO");
        if (!MorrowApiInterface::canOpenURL(*url))
            return MorrowBridgeValue("YES");
        MorrowApiInterface::handleOpenURL(*url, state().apiDelegate.lock());
        return MorrowBridgeValue("NO");
    }, 1, "handleOpenUrlJudge", 1, { 2 });
    return object;
}
