#include "sdk/lmconnect/host/MROSDKJSBridgeTools.h"

#include "sdk/lmconnect/host/MorrowDataMgr.h"
#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/analytics/ConfigManager.h"
#include "sdk/lmconnect/analytics/MRA4LC.h"
#include "sdk/lmconnect/analytics/MRDataReport.h"
#include "sdk/lmconnect/openapi/MrApiTool.h"

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::logObject()
{
    auto object = std::make_shared<MorrowJSObject>("log");
    for (const char* name : { "d", "e", "v", "w", "i" }) {
        object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(jsLog(a[0].text(), a[1].text())); },
            2, name, 1, { 1, 1 });
    }
    return object;
}

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::openUiObject()
{
    auto object = std::make_shared<MorrowJSObject>("openUi");
    for (const char* name : { "getLMInfo", "getLZoneInfo" }) {
        object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue::optionalText(MrApiTool::jsIsRegistSchemeInfoPlistFile(a[0].value)); },
            1, name, 1, { 2 });
    }
    return object;
}

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::dataMgrObject()
{
    auto object = std::make_shared<MorrowJSObject>("MorrowDataMgr");
    auto& pool = MorrowDataMgr::getInstance();
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(pool.removeKeyFromDataMgr(a[0].text())); },
        1, "removeKeyFromDataMgr", 4, { 1 });
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(pool.removeObjectFromDataMgr(a[0].text())); },
        1, "removeObjectFromDataMgr", 4, { 1 });
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>&) { return MorrowBridgeValue(pool.removeAllObject()); },
        0, "removeAllObject", 4, {});
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue(pool.objSize(a[0].text())); },
        1, "objSize", 5, { 1 });
    object->transformNativeMethod([&pool](const std::vector<MorrowBridgeValue>& a) { return MorrowBridgeValue::optionalText(pool.addObjectInPastboard(a[0].text())); },
        1, "addObjectInPastboard", 1, { 1 });
    return object;
}

std::shared_ptr<MorrowJSObject> MROSDKJSBridgeTools::dataReportObject()
{
    auto object = std::make_shared<MorrowJSObject>(MRDataReport::kScriptObjectName);
    const MorrowBridgeValue none;
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        MRDataReport::start4LMConnect(a[0].text());
        return none;
    }, 1, "startLM4Connect", 9, { 1 });
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        MRDataReport::mraSetEnable(a[0].value.boolValue());
        return none;
    }, 1, "mraSetEnable", 9, { 4 });
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        // The scripts' own reports go in whatever the policy says.
        ConfigManager::GetInstance()->updateConfig();
        MRA4LC::trackCustomEvent(a[0].text(), pf::Array { pf::Value(a[1].text()) });
        return none;
    }, 2, "trackCustomEvent", 9, { 1, 1 });
    object->transformNativeMethod([none](const std::vector<MorrowBridgeValue>& a) {
        MRA4LC::reportLM(a[0].text());
        return none;
    }, 1, "reportLM", 9, { 1 });
    for (const char* name : { "reportData", "reportDataWithTime" })
        object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) { return MorrowBridgeValue(true); }, 0, name, 4, { });
    auto props = [](const MorrowBridgeValue& v) {
        const auto* d = v.value.asDictionary();
        return d ? *d : pf::Dictionary();
    };
    auto trackKeyValueEvent = [none, props](const std::vector<MorrowBridgeValue>& a) {
        MRA4LC::trackCustomKeyValueEvent(a[0].text(), props(a[1]));
        return none;
    };
    object->transformNativeMethod(trackKeyValueEvent, 2, "trackCustomKVEvent", 9, { 1, 2 });
    object->transformNativeMethod([none, props](const std::vector<MorrowBridgeValue>& a) {
        MRA4LC::trackCustomKeyValueEventBegin(a[0].text(), props(a[1]));
        return none;
    }, 2, "trackCustomBeginKVEventt", 9, { 1, 2 });
    // Declared a second time, as the scripts have always seen the object: the page defines the
    // same function again and calls reach the first entry, so it does no harm.
    object->transformNativeMethod(trackKeyValueEvent, 2, "trackCustomKVEvent", 9, { 1, 2 });
    return object;
}
