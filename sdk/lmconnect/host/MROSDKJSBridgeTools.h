#pragma once

#include <memory>
#include <string>

class MorrowJSObject;

// The scripts' "log" object: "d", "e", "v", "w" and "i" take a tag and a text, log nothing and
// answer "js debuger".
class MROSDKJSBridgeTools {
public:
    static std::string jsLog(const std::string& tag, const std::string& text) { return "js debuger"; }
    // Do nothing; no script object offers them.
    static void noArgument() { }
    static void testMethodGg(const std::string& first, const std::string& second) { }
    static void convert(const std::string& text) { }
    static std::shared_ptr<MorrowJSObject> logObject();
    // "openUi": "getLMInfo" and "getLZoneInfo", whether a URL scheme of the app is registered.
    static std::shared_ptr<MorrowJSObject> openUiObject();
    // "MorrowDataMgr": the data pool's functions.
    static std::shared_ptr<MorrowJSObject> dataMgrObject();
    // "sdk_reportUtils": the statistics engine's entry for the scripts.
    static std::shared_ptr<MorrowJSObject> dataReportObject();
};
