#include "sdk/lmconnect/lmapi/LMApi.h"

#include "sdk/lmconnect/apps/MorrowBaseMessageObj.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiLog.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiMessageAndUrlConverter.h"
#include "sdk/lmconnect/lmapi/LMApiMessageUtil.h"
#include "sdk/lmconnect/lmapi/LMApiTaskGetLMUinOnlineStatues.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/lmapi/LMPluginMetadata.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Url.h"

namespace {

bool canOpen(std::string_view text) { return pf::Application::shared().canOpenURL(text); }

// The icon names of the information list: the first key that gives any.
std::vector<std::string> iconNames(const pf::Bundle& bundle)
{
    for (const char* key : { "CFBundleIconFiles", "Icon files" }) {
        std::vector<std::string> names;
        if (const pf::Array* list = bundle.objectForInfoDictionaryKey(key).asArray()) {
            for (const auto& name : *list) {
                if (const std::string* text = name.asString())
                    names.push_back(*text);
            }
        }
        if (!names.empty())
            return names;
    }
    for (const char* key : { "CFBundleIconFile", "Icon file" }) {
        if (const std::string* name = bundle.objectForInfoDictionaryKey(key).asString(); name && !name->empty())
            return { *name };
    }
    return {};
}

std::map<std::string, pf::Bytes> iconFiles(const pf::Bundle& bundle)
{
    std::map<std::string, pf::Bytes> icons;
    for (const auto& name : iconNames(bundle)) {
        if (icons.size() >= LMPluginMetadata::kMaxIcons)
            break;
        size_t dot = name.find('.');
        if (name.empty() || dot == std::string::npos)
            continue;
        size_t next = name.find('.', dot + 1);
        std::string resource = name.substr(0, dot);
        std::string type = name.substr(dot + 1, next == std::string::npos ? std::string::npos : next - dot - 1);
        auto data = bundle.dataForResource(resource, type);
        if (data && !data->empty())
            icons[name] = *data;
    }
    if (icons.empty()) {
        if (auto data = bundle.dataForResource("icon", "png"); data && !data->empty())
            icons["icon.png"] = *data;
    }
    return icons;
}

bool fail(const char* text)
{
    LMAPI_LOG("%s", text);
    return false;
}

}

void LMApi::registerLMConnectAppId(const std::string& appId) { LMApiDatastore::instance().appId = appId; }

void LMApi::registerLMConnectOpenId(const std::string& openId) { LMApiDatastore::instance().openId = openId; }

void LMApi::registerPluginWithId(const std::string& scheme)
{
    auto bundle = pf::Bundle::main();
    auto record = std::make_shared<LMPluginMetadata>();
    record->scheme = scheme;
    if (bundle) {
        record->bundleIdentifier = bundle->bundleIdentifier();
        record->version = bundle->version();
        if (const std::string* name = bundle->objectForInfoDictionaryKey("CFBundleDisplayName").asString())
            record->displayName = *name;
        record->iconFiles = iconFiles(*bundle);
    }
    auto& store = LMApiDatastore::instance();
    store.appName = record->displayName;
    store.registerWithMetadata(record);
    store.scheme = scheme;
}

bool LMApi::checkLMApiURLMessage(const std::shared_ptr<LMApiMessage>& message)
{
    if (!message || !message->object)
        return fail("param error: object is nil");
    const auto& object = *message->object;
    auto urlObject = dynamic_cast<const LMApiURLObject*>(&object);
    if (MorrowBaseMessageObj::characters(object.title) > kTitleLimit)
        return fail("param error: title is too long");
    if (MorrowBaseMessageObj::characters(object.description) > kDescriptionLimit)
        return fail("param error: description is too long");
    if (urlObject && urlObject->previewImageData.size() > kPreviewLimit)
        return fail("param error: preview image data is too big");
    if (object.title.empty())
        return fail("param error: title is nil");
    if (!urlObject || urlObject->url.empty())
        return fail("param error: url is nil");
    if (urlObject->url.size() > kUrlLimit)
        return fail("param error: url is too long");
    return true;
}

std::shared_ptr<LMApiMessage> LMApi::handleOpenURL(const pf::Url& url) { return LMApiMessageUtil::messageWithURL(url); }

std::vector<std::shared_ptr<LMApiAdItem>> LMApi::getAdItemArray() { return LMApiDatastore::instance().getAdItemArray(); }

bool LMApi::isLMInstalled() { return canOpen("mlm://"); }
bool LMApi::isLMSupportApi() { return canOpen("mlmapi://"); }
bool LMApi::isLMSupportApiForWallet() { return canOpen("mlmapiwallet://"); }
bool LMApi::isLMSupportApiForWPA() { return canOpen("mlmwpa://"); }
bool LMApi::appCanOpenURL(const std::string& url) { return canOpen(url); }

std::string LMApi::getLMInstallURL() { return "http://apps.lmconnect.invalid/cn/app/id444934666"; }

bool LMApi::openLMApp()
{
    return LMOpenApiUtility::openURL(pf::Url::fromString("mlm://sourceScheme=" + LMApiDatastore::instance().scheme)) == 0;
}

void LMApi::getLMUinOnlineStatues(const std::vector<std::string>& uins, std::weak_ptr<LMApiInterfaceDelegate> delegate)
{
    std::make_shared<LMApiTaskGetLMUinOnlineStatues>(uins, std::move(delegate))->postOnMainThread();
}
