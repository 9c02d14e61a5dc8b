// A script's call of a native function, as the hidden view's navigation to
// "morrowjsbridge://<object>/<function>?p0=..&p1=..&" reaches the dispatcher: object and
// function names, the query's escapes and every argument and return code. The functions echo
// their arguments back, so the answer written into script text carries the input; that text
// must stay one line of script (no raw line or paragraph separator) whatever the input is.
// A second dispatcher reads calls of at most `kSmallBound` bytes: longer inputs take its
// refusal, whose message (with the names in it) must be one line of script too.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/RunLoop.h"
#include "sdk/lmconnect/host/MorrowJSObject.h"
#include "sdk/lmconnect/host/MorrowJSRunEnv.h"
#include "sdk/lmconnect/host/MorrowScriptContext.h"

#include <cstdlib>

namespace {

struct RecordingContext : MorrowScriptContext {
    std::string evaluateJavascript(const std::string& script) override
    {
        last = script;
        return {};
    }
    std::string last;
};

constexpr size_t kSmallBound = 256;

bool isOneLine(const std::string& script)
{
    return script.find_first_of("\n\r") == std::string::npos && script.find("\xE2\x80\xA8") == std::string::npos
        && script.find("\xE2\x80\xA9") == std::string::npos;
}

std::shared_ptr<MorrowJSRunEnv> makeDispatcher(const std::shared_ptr<RecordingContext>& context, size_t bound)
{
    auto env = MorrowJSRunEnv::create(context, {});
    env->setMaximumCallBytes(bound);
    auto object = std::make_shared<MorrowJSObject>("o");
    // "f<argument code><return code>": one argument handed back as the result.
    for (int argument = 0; argument <= 9; ++argument) {
        for (int result = 0; result <= 8; ++result) {
            object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) { return a.empty() ? MorrowBridgeValue() : a[0]; },
                1, "f" + std::to_string(argument) + std::to_string(result), result, { argument });
        }
    }
    // Three arguments of different codes; the answer is the list of them.
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>& a) {
        pf::Array all;
        for (auto& v : a)
            all.push_back(v.value);
        return MorrowBridgeValue(pf::Value(std::move(all)));
    }, 3, "g", 2, { 1, 2, 3 });
    object->transformNativeMethod([](const std::vector<MorrowBridgeValue>&) { return MorrowBridgeValue("none"); }, 0, "h", 1, {});
    env->registNativeObj(object);
    return env;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    static auto context = std::make_shared<RecordingContext>();
    static auto dispatcher = makeDispatcher(context, MorrowJSRunEnv::kMaximumCallBytes);
    static auto smallDispatcher = makeDispatcher(context, kSmallBound);
    std::string url = "morrowjsbridge://" + std::string(reinterpret_cast<const char*>(data), size);
    for (auto* each : { &dispatcher, &smallDispatcher }) {
        context->last.clear();
        bool called = (*each)->shouldStartLoadWithRequest(url);
        const std::string& script = context->last;
        if (called && script.rfind("SendCmd.setReturnValue(", 0) != 0)
            std::abort();
        // Only a call above the bound is refused with an error, and always so.
        bool refused = script.rfind("SendCmd.setReturnError(", 0) == 0;
        if (refused != (url.size() > (*each)->maximumCallBytes()))
            std::abort();
        if (!isOneLine(script))
            std::abort();
    }
    // Any scheme's navigation goes the same way: other schemes to the (absent) delegate.
    dispatcher->shouldStartLoadWithRequest(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
