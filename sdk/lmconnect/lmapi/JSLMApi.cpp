#include "sdk/lmconnect/lmapi/JSLMApi.h"

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/lmapi/LMApi.h"
#include "sdk/lmconnect/lmapi/LMApiCommonContentObject.h"
#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiExtendObject.h"
#include "sdk/lmconnect/lmapi/LMApiInterface.h"
#include "sdk/lmconnect/lmapi/LMApiLog.h"
#include "sdk/lmconnect/lmapi/LMApiMessage.h"
#include "sdk/lmconnect/lmapi/LMApiMessageAndUrlConverter.h"
#include "sdk/lmconnect/lmapi/LMApiTaskDownloadURLObjectPreviewData.h"
#include "sdk/lmconnect/lmapi/LMApiURLObject.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/Url.h"

#include <cerrno>
#include <cstdlib>

namespace {

const char* yesNo(bool flag) { return flag ? "YES" : "NO"; }


bool fail(const char* text)
{
    LMAPI_LOG("%s", text);
    return false;
}

// The data checks of one kind of share.
bool dataIsLegal(const pf::Bytes& data, const char* missing, const char* tooBig)
{
    if (data.empty())
        return fail(missing);
    if (data.size() > LMApi::kDataLimit)
        return fail(tooBig);
    return true;
}

bool previewIsLegal(const pf::Bytes& preview)
{
    return preview.size() <= LMApi::kPreviewLimit || fail("param error: preview image data is too big");
}

void stage(const pf::Bytes& preview, const pf::Bytes& file, const std::vector<pf::Bytes>& images)
{
    LMApiMessageAndUrlConverter::setPasteBoardPrevImageData(preview, file, images);
}

}

std::shared_ptr<LMApiMessage> JSLMApi::pendingMessage()
{
    auto bridge = MROSDKJSBridge::shareInstance();
    const std::any* pooled = bridge ? bridge->getPoolObject(MROSDKJSBridge::kShareMessageKey) : nullptr;
    auto message = pooled ? std::any_cast<std::shared_ptr<LMApiMessage>>(pooled) : nullptr;
    return message ? *message : nullptr;
}

std::string JSLMApi::js_isRegistScheme() { return yesNo(!LMApiDatastore::instance().scheme.empty()); }

std::string JSLMApi::js_checkLMApiURLMessage() { return yesNo(LMApi::checkLMApiURLMessage(pendingMessage())); }

std::int32_t JSLMApi::js_resendUrlObjectSyncShare()
{
    auto message = pendingMessage();
    auto content = message ? std::dynamic_pointer_cast<LMApiURLObject>(message->object) : nullptr;
    if (!content || message->isAssociatedWithTask() || content->previewImageURL.empty() || !content->previewImageData.empty())
        return LMApiInterface::kGoOn;
    std::make_shared<LMApiTaskDownloadURLObjectPreviewData>(message)->postOnMainThread();
    return LMApiInterface::kLater;
}

std::string JSLMApi::js_getLMScheme() { return LMApiDatastore::instance().scheme; }

std::string JSLMApi::js_getAPPName()
{
    auto bundle = pf::Bundle::main();
    const std::string* name = bundle ? bundle->objectForInfoDictionaryKey("CFBundleDisplayName").asString() : nullptr;
    return name && !name->empty() ? *name : "返回";
}

void JSLMApi::setImageObjectPasteBoardDatas()
{
    auto message = pendingMessage();
    if (auto content = message ? std::dynamic_pointer_cast<LMApiExtendObject>(message->object) : nullptr)
        stage(content->previewImageData, content->data, content->imageDataArray);
}

void JSLMApi::setURLObjectPasteBoardDatas()
{
    auto message = pendingMessage();
    if (auto content = message ? std::dynamic_pointer_cast<LMApiURLObject>(message->object) : nullptr)
        stage(content->previewImageData, {}, content->imageDataArray);
}

void JSLMApi::setExtendObjectPasteBoardDatas() { setImageObjectPasteBoardDatas(); }

void JSLMApi::setCommonObjectPasteBoardDatas()
{
    auto message = pendingMessage();
    if (auto content = message ? std::dynamic_pointer_cast<LMApiCommonContentObject>(message->object) : nullptr)
        stage({}, pf::KeyedArchiver::archivedValue(content->toDictionary()), {});
}

std::string JSLMApi::js_getSDKInfo() { return pf::Json::write(MrApiTool::SDKInfo()); }

std::int32_t JSLMApi::js_openH5LMToShare(const std::string& url)
{
    // The share page hands back to the app by its scheme, which needs the app kept in the background.
    if (!pf::Device::current().isMultitaskingSupported())
        return LMApiInterface::kNotOpened;
    return LMOpenApiUtility::openURL(pf::Url::fromString(url)) == 0 ? LMApiInterface::kDone : LMApiInterface::kNotOpened;
}

std::int32_t JSLMApi::js_openURL(const std::string& text)
{
    auto url = pf::Url::fromString(text);
    if (!url || url->scheme().empty()) {
        LMAPI_LOG("param error: illegal object param");
        return LMApiInterface::kInvalidContent;
    }
    return LMOpenApiUtility::openURL(url);
}

std::string JSLMApi::js_isLargeDataLengthLegal(const std::string& kind)
{
    auto message = pendingMessage();
    auto object = message ? message->object : nullptr;
    auto extend = std::dynamic_pointer_cast<LMApiExtendObject>(object);
    auto url = std::dynamic_pointer_cast<LMApiURLObject>(object);
    static const pf::Bytes none;
    const pf::Bytes& data = extend ? extend->data : none;
    const pf::Bytes& preview = extend ? extend->previewImageData : url ? url->previewImageData : none;
    if (kind == "img")
        return yesNo(dataIsLegal(data, "param error: image data is nil", "param error: image data is too big") && previewIsLegal(preview));
    if (kind == "file")
        return yesNo(dataIsLegal(data, "param error: data is nil", "param error: data is too big") && previewIsLegal(preview));
    if (kind == "url")
        return yesNo(previewIsLegal(preview));
    return "YES";
}

std::string JSLMApi::js_appCanOpenURL(const pf::Value& params) { return yesNo(LMApi::appCanOpenURL(params["url"].stringValue())); }

std::int32_t JSLMApi::js_sendMessageToLM(const std::shared_ptr<LMApiMessage>& message)
{
    auto bridge = MROSDKJSBridge::shareInstance();
    if (!bridge || !message)
        return LMApiInterface::kFailed;
    std::string answer = bridge->shareMessageToLM(message);
    // A script that failed or answered anything but a number has not shared anything.
    const char* start = answer.c_str();
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || value < INT32_MIN || value > INT32_MAX)
        return LMApiInterface::kFailed;
    return static_cast<std::int32_t>(value);
}

std::string JSLMApi::js_isLMInstalled() { return yesNo(LMApi::isLMInstalled()); }
std::string JSLMApi::js_isLMSupportApi() { return yesNo(LMApi::isLMSupportApi()); }
std::string JSLMApi::js_isLMSupportApiForWallet() { return yesNo(LMApi::isLMSupportApiForWallet()); }
std::string JSLMApi::js_isLMSupportApiGeneralPastboard() { return yesNo(LMApiDatastore::instance().isLMSupportApiGeneralPastboard()); }
std::string JSLMApi::js_getLMInstallURL() { return LMApi::getLMInstallURL(); }
std::string JSLMApi::js_isLMAppSatisfy(const std::string& url) { return yesNo(LMApi::appCanOpenURL(url)); }

std::int32_t JSLMApi::js_handleWPAMessageShare(const std::string& url)
{
    if (LMOpenApiUtility::openURL(pf::Url::fromString(url)) != 0)
        LMOpenApiUtility::openURL(pf::Url::fromString(LMApi::getLMInstallURL()));
    return LMApiInterface::kDone;
}

bool JSLMApi::isPureInt(const std::string& text)
{
    const char* start = text.c_str();
    char* end = nullptr;
    std::strtoll(start, &end, 10);
    return end != start && *end == 0;
}

bool JSLMApi::isNewLMBrowserInstall() { return LMApi::appCanOpenURL("mlmbrowser://"); }
bool JSLMApi::isOldLMBrowserInstall() { return LMApi::appCanOpenURL("mlbbrowser://"); }

std::shared_ptr<MorrowJSObject> JSLMApi::nativeApiObject()
{
    auto object = std::make_shared<MorrowJSObject>(kObjectName);
    using Args = std::vector<MorrowBridgeValue>;
    auto text = [&](const char* name, std::string (*body)()) {
        object->transformNativeMethod([body](const Args&) { return MorrowBridgeValue(body()); }, 0, name, 1, {});
    };
    auto action = [&](const char* name, void (*body)()) {
        object->transformNativeMethod([body](const Args&) { body(); return MorrowBridgeValue(); }, 0, name, 9, {});
    };
    text("isRegistScheme", &js_isRegistScheme);
    text("checkLMApiURLMessage", &js_checkLMApiURLMessage);
    object->transformNativeMethod([](const Args&) { return MorrowBridgeValue(js_resendUrlObjectSyncShare()); }, 0,
        "resendUrlObjectSyncShare", 5, {});
    text("getLMScheme", &js_getLMScheme);
    text("getAppName", &js_getAPPName);
    action("setImageObjectPasteBoardDatas", &setImageObjectPasteBoardDatas);
    action("setURLObjectPasteBoardDatas", &setURLObjectPasteBoardDatas);
    action("setExtendObjectPasteBoardDatas", &setExtendObjectPasteBoardDatas);
    action("setCommonObjectPasteBoardDatas", &setCommonObjectPasteBoardDatas);
    text("getSDKInfo", &js_getSDKInfo);
    object->transformNativeMethod([](const Args& a) { return MorrowBridgeValue(js_openH5LMToShare(a[0].value.stringValue())); }, 1,
        "openH5LM", 5, { 1 });
    object->transformNativeMethod([](const Args& a) { return MorrowBridgeValue(js_openURL(a[0].value.stringValue())); }, 1,
        "openURL", 5, { 1 });
    object->transformNativeMethod([](const Args& a) { return MorrowBridgeValue(js_isLargeDataLengthLegal(a[0].value.stringValue())); }, 1,
        "isLargeDataLengthLegal", 1, { 1 });
    object->transformNativeMethod([](const Args& a) { return MorrowBridgeValue(js_appCanOpenURL(a[0].value)); }, 1,
        "appCanOpenURL", 1, { 2 });
    return object;
}
