#include "sdk/lmconnect/MROSDKJSBridgeTools.h"

#include "sdk/lmconnect/MorrowDataMgr.h"
#include "sdk/lmconnect/MorrowJSObject.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"

namespace {

std::string textOf(const MorrowBridgeValue& value)
{
    const std::string* text = value.value.asString();
    return text ? *text : std::string();
}

MorrowBridgeValue optionalText(const std::optional<std::string>& text)
{
    return text ? MorrowBridgeValue(*text) : MorrowBridgeValue();
}

}

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::logObject()
{
    auto object = std::make_shared<MorrowJSObject>("log");
    for (const char* name : { "d", "e", "v", "w", "i" }) {
        object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(jsLog(textOf(a[0]), textOf(a[1]))); },
            2, name, 1, { 1, 1 });
    }
    return object;
}

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::openUiObject()
{
    auto object = std::make_shared<MorrowJSObject>("openUi");
    for (const char* name : { "getLMInfo", "getLZoneInfo" }) {
        object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) { return optionalText(MrApiTool::jsIsRegistSchemeInfoPlistFile(a[0].value)); },
            1, name, 1, { 2 });
    }
    return object;
}

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::dataMgrObject()
{
    auto object = std::make_shared<MorrowJSObject>("MorrowDataMgr");
    auto& pool = MorrowDataMgr::getInstance();
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(pool.removeKeyFromDataMgr(textOf(a[0]))); },
        1, "removeKeyFromDataMgr", 4, { 1 });
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(pool.removeObjectFromDataMgr(textOf(a[0]))); },
        1, "removeObjectFromDataMgr", 4, { 1 });
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>&) { return MorrowBridgeValue(pool.removeAllObject()); },
        0, "removeAllObject", 4, {});
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(pool.objSize(textOf(a[0]))); },
        1, "objSize", 5, { 1 });
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return optionalText(pool.addObjectInPastboard(textOf(a[0]))); },
        1, "addObjectInPastboard", 1, { 1 });
    return object;
}
