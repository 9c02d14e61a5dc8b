#pragma once

#include "sdk/lmconnect/host/MorrowBridgeValue.h"
#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/host/MorrowJSRunEnvDelegate.h"
#include "sdk/lmconnect/host/MorrowScriptContext.h"

#include "platform/web/ScriptContext.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The dispatcher between the scripts and native code. A script calls a native function by
// navigating a hidden frame to "morrowjsbridge://<object>/<function>?p0=..&p1=..&"; the run
// environment is asked about that navigation before the frame loads, calls the registered
// function, and hands the answer back with "SendCmd.setReturnValue(...)" before the script's
// call returns.
//
// Rules:
// - Object and function names keep their case; only the query's values count, in order,
//   percent-unescaped as UTF-8 (a malformed escape gives no value). Missing values convert as
//   none, NO or 0; a function without arguments ignores any.
// - A call is read whole up to `maximumCallBytes` of address (by default the page's own bound
//   on text it hands native code, so every call a page can make is read whole). A longer one
//   is refused and logged, and the script's call throws an Error: native code never runs with
//   arguments it could not read.
// - Argument code 3 of under two characters is an empty list.
// - Answers go back as JSON string literals, so any text arrives unchanged.
// - An unknown object or function is refused; http and https pages are refused (the hidden web
//   view loads no remote page); every other navigation is the delegate's to answer.
// - Main thread only.
class MorrowJSRunEnv : public std::enable_shared_from_this<MorrowJSRunEnv> {
public:
    static constexpr const char* kBridgeScheme = "morrowjsbridge";
    static constexpr const char* kNullText = "(null)";
    static constexpr size_t kMaximumCallBytes = pf::ScriptContext::kMaxValueBytes;

    // The page the hidden web view is given on a system of major version 4: an empty document
    // that declares UTF-8. The scripts loaded meanwhile run again in it (see MorrowWebViewHost).
    static constexpr const char* kBlankPage
        = "<!DOCTYPE html><html><head><meta content='text/html' charset='utf-8'/></head><body></body></html>";

    // None without a script context. Answers the context's navigation questions from now on;
    // on a system of major version 4 it has the context load `kBlankPage`.
    static std::shared_ptr<MorrowJSRunEnv> create(std::shared_ptr<MorrowScriptContext> webview, std::weak_ptr<MorrowJSRunEnvDelegate> delegate);

    // Stores the object under its name (replacing one before) and defines its functions in the
    // page; false without a name.
    bool registNativeObj(const std::shared_ptr<MorrowJSObject>& object);
    bool removeRegistObjForKey(const std::string& name);
    std::shared_ptr<MorrowJSObject> registeredObject(const std::string& name) const;

    // The web view's question before a frame loads.
    bool shouldStartLoadWithRequest(const std::string& url, int navigationType = 0);
    void webViewDidStartLoad();
    void webViewDidFinishLoad();
    void webViewDidFailLoadWithError(const std::string& description);

    // The query's values in order (none for a malformed escape); nothing for a query longer
    // than `maximumLength`.
    static std::vector<std::optional<std::string>> parseQueryParams(std::string_view query, size_t maximumLength = kMaximumCallBytes);
    MorrowBridgeValue convertArgument(const std::optional<std::string>& text, int code) const;
    static std::string convertResult(const MorrowBridgeValue& result, int code);

    const std::shared_ptr<MorrowScriptContext>& webview() const { return m_webview; }
    size_t maximumCallBytes() const { return m_maximumCallBytes; }
    void setMaximumCallBytes(size_t bytes) { m_maximumCallBytes = bytes; }

private:
    MorrowJSRunEnv() = default;

    std::shared_ptr<MorrowScriptContext> m_webview;
    std::weak_ptr<MorrowJSRunEnvDelegate> m_delegate;
    std::map<std::string, std::shared_ptr<MorrowJSObject>> m_nativeObjPool;
    size_t m_maximumCallBytes { kMaximumCallBytes };
};
