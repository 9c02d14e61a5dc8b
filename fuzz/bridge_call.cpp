// A script's call of a native function, as the hidden view's navigation to
// "morrowjsbridge://<object>/<function>?p0=..&p1=..&" reaches the dispatcher: object and
// function names, the query's escapes and every argument and return code. The functions echo
// their arguments back, so the answer written into script text carries the input; that text
// must stay one line of script (no raw line or paragraph separator) whatever the input is.
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

std::shared_ptr<MorrowJSRunEnv> makeDispatcher(const std::shared_ptr<RecordingContext>& context)
{
    auto env = MorrowJSRunEnv::create(context, {});
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
    static auto dispatcher = makeDispatcher(context);
    context->last.clear();
    std::string url = "morrowjsbridge://" + std::string(reinterpret_cast<const char*>(data), size);
    bool called = dispatcher->shouldStartLoadWithRequest(url);
    if (called) {
        const std::string& script = context->last;
        if (script.rfind("SendCmd.setReturnValue(", 0) != 0)
            std::abort();
        if (script.find_first_of("\n\r") != std::string::npos || script.find("\xE2\x80\xA8") != std::string::npos
            || script.find("\xE2\x80\xA9") != std::string::npos)
            std::abort();
    }
    // Any scheme's navigation goes the same way: other schemes to the (absent) delegate.
    dispatcher->shouldStartLoadWithRequest(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
