#include "sdk/lmconnect/apps/MorrowAppLauncher.h"

#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/apps/MorrowAppPasteboard.h"
#include "sdk/lmconnect/apps/MorrowAppVersions.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"
#include "sdk/lmconnect/update/JsUpdateVersionController.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Url.h"

#include <utility>

namespace {

// Never destroyed: a session's destructor may reach the hand-off among the static destructors
// at process exit. A new launch forgets the scheme.
std::string& replyScheme()
{
    static std::string* scheme = [] {
        auto* made = new std::string;
        pf::ResetRegistry::add([made] { made->clear(); });
        return made;
    }();
    return *scheme;
}

std::string fieldText(const pf::Value& params, const char* key)
{
    return params[key].optionalString().value_or(std::string());
}

// The place a request for an app that reads the general pasteboard (`general`) or a named one
// was written to, under the reply scheme `schema`.
std::optional<std::string> saveRequest(const pf::Dictionary& request, bool general, const std::string& schema)
{
    return general ? MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema(request, schema)
                   : MorrowAppPasteboard::saveDictionaryToPasteBoard(request);
}

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

const std::string& MorrowAppLauncher::appSchema() { return replyScheme(); }
void MorrowAppLauncher::setAppSchema(std::string schema) { replyScheme() = std::move(schema); }

bool MorrowAppLauncher::launch(const std::string& format, const std::vector<std::string>& values)
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

bool MorrowAppLauncher::openLMWithCommand(unsigned command, const pf::Dictionary& data)
{
    const std::string& schema = replyScheme();
    if (MorrowAppVersions::lmVersion() < 2 || command != 0 || !MrApiTool::isRegistSchemeInfoPlistFile(schema))
        return false;
    bool general = MorrowAppVersions::isSupportGeneralPastboard();
    auto place = saveRequest(data, general, schema);
    if (!place)
        return false;
    return launch(general ? "%@://%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@?generalpastboard=0", { kLMScheme, kLMHost, schema, *place });
}

bool MorrowAppLauncher::openLZoneWithCommandStr(const std::string& command, const pf::Dictionary& data)
{
    const std::string& schema = replyScheme();
    if (MorrowAppVersions::lzoneVersion() < 3 || !MrApiTool::isRegistSchemeInfoPlistFile(schema))
        return false;
    bool general = MorrowAppVersions::isLZoneSupportGeneralPastboard();
    auto place = saveRequest(data, general, schema);
    if (!place)
        return false;
    return launch(general ? "%@://%@/%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@/%@?generalpastboard=0",
        { kLZoneScheme, kLZoneHost, schema, *place, command });
}

bool MorrowAppLauncher::openLZoneWithCommand(unsigned command, const pf::Dictionary& data)
{
    return openLZoneWithCommandStr(std::to_string(command), data);
}

bool MorrowAppLauncher::sendCommandToLZoneParams(const std::string& command, const pf::Dictionary& params)
{
    return openLZoneWithCommandStr(command, params);
}

bool MorrowAppLauncher::shareWithLZoneWithData(const pf::Dictionary& data)
{
    return openLZoneWithCommand(1, data);
}

bool MorrowAppLauncher::openLZone()
{
    if (!MorrowAppVersions::isLZoneInstalled())
        return false;
    return launch("mlzoneopensdk://lzapp/%@/", { replyScheme() });
}

std::optional<std::string> MorrowAppLauncher::saveDictionaryByGeneralPastboard(const pf::Dictionary& dict)
{
    return MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema(dict, replyScheme());
}

std::string MorrowAppLauncher::sendCommandToLMWith(const pf::Value& params)
{
    auto request = describedRequest(params);
    if (!request)
        return "false";
    std::string scheme = fieldText(params, "appScheme");
    // The first copy lies on a named board even when the app reads the general one.
    if (!MorrowAppPasteboard::saveDictionaryToPasteBoard(*request))
        return "false";
    bool general = MorrowAppVersions::isSupportGeneralPastboard();
    auto place = saveRequest(*request, general, scheme);
    if (!place)
        return "false";
    bool opened = launch(general ? "%@://%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@?generalpastboard=0",
        { fieldText(params, "LMApiScheme"), fieldText(params, "LMHost"), scheme, *place });
    return opened ? "true" : "false";
}

std::string MorrowAppLauncher::sendCommandToLZoneWith(const pf::Value& params)
{
    auto request = describedRequest(params);
    if (!request)
        return "false";
    std::string scheme = fieldText(params, "appScheme");
    bool general = MorrowAppVersions::isLZoneSupportGeneralPastboard();
    auto place = saveRequest(*request, general, scheme);
    if (!place)
        return "false";
    bool opened = launch(general ? "%@://%@/%@/%@/%@?generalpastboard=1" : "%@://%@/%@/%@/%@?generalpastboard=0",
        { fieldText(params, "LZoneApiScheme"), fieldText(params, "LZoneHost"), scheme, *place, "0" });
    return opened ? "true" : "false";
}

pf::Dictionary MorrowAppLauncher::scriptRequestDictionary(const pf::Value& params)
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

std::shared_ptr<MorrowJSObject> MorrowAppLauncher::openapiObject()
{
    auto object = std::make_shared<MorrowJSObject>("openapi");
    auto canRequest = [](const pf::Value& params) {
        return !fieldText(params, "appid").empty() && !pf::Bundle::main()->displayName().empty();
    };
    object->transformNativeMethod([canRequest](const std::vector<MorrowBridgeValue>& a) {
        if (!canRequest(a[0].value))
            return MorrowBridgeValue();
        return MorrowBridgeValue::optionalText(MorrowAppPasteboard::saveDictionaryToPasteBoard(scriptRequestDictionary(a[0].value)));
    }, 1, "saveDictionary", 1, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        return MorrowBridgeValue(pf::Application::shared().canOpenURL(fieldText(a[0].value, "url")));
    }, 1, "isSupportPastboard", 4, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(pf::Bundle::main()->displayName());
    }, 1, "getAppName", 1, { 1 });
    object->transformNativeMethod([canRequest](const std::vector<MorrowBridgeValue>& a) {
        std::string schema = fieldText(a[0].value, "appScheme");
        if (!canRequest(a[0].value) || schema.empty())
            return MorrowBridgeValue();
        return MorrowBridgeValue::optionalText(
            MorrowAppPasteboard::saveDictionaryByGeneralPastboardWithSchema(scriptRequestDictionary(a[0].value), schema));
    }, 1, "saveDictionaryByGeneralPastboardWithSchema", 1, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        return MorrowBridgeValue(launch("%@", { fieldText(a[0].value, "url") }));
    }, 1, "openURL", 4, { 2 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(pf::Device::current().systemMajorVersion());
    }, 0, "getSystemOSVersion", 5, {});
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(pf::Bundle::main()->bundleIdentifier());
    }, 0, "getBundleIdentifier", 1, {});
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) {
        return MorrowBridgeValue(JsUpdateVersionController::getVersion());
    }, 0, "getJSVersion", 1, {});
    return object;
}
