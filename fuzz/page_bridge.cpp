// fuzz-timeout: 5
// What a page hands the page bridge: the input is the text the page's side gives when the app
// fetches its queue. A hostile page defines that side itself, so the text is anything: a list of
// messages (handler calls with data and callback ids, answers to the app's own calls) or not.
// The app's handlers answer what they get, the app asks the page once before and once after the
// message; then the page is replaced and the same text comes from the new one. Every answer the
// app waits for arrives at most once, and none from a page other than the one asked.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/web/PageBridge.h"
#include "platform/web/ScriptText.h"
#include "platform/web/WebView.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The page's side of the bridge, as a page may write it: it hands the app the input and asks for
// a fetch again for each message the app sends it, a few times.
constexpr const char* kPage = R"(<html><body><script>
var asks = 0;
function ask() {
    var f = document.createElement('iframe');
    document.documentElement.appendChild(f);
    f.src = 'pagebridge://message';
}
window.PageBridge = {
    _fetchQueue: function () { return window.input || '[]'; },
    _handleMessageFromApp: function (text) { JSON.parse(text); if (++asks < 4) ask(); }
};
</script></body></html>)";

void settle(pf::RunLoop& loop)
{
    for (int pass = 0; pass < 50; ++pass)
        loop.runPending();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::prepareMainLoop();
    const std::string input(reinterpret_cast<const char*>(data), size);
    auto& loop = pf::RunLoop::main();
    {
        auto view = std::make_shared<pf::WebView>();
        view->setRefusesRemoteLoads(true);
        view->setScriptBudget(0.2);
        auto answer = [](const pf::Value& data, const pf::PageBridge::ResponseCallback& respond) { respond(data); };
        auto bridge = pf::PageBridge::bridgeForWebView(view, {}, answer);
        bridge->registerHandler("echo", answer);
        std::weak_ptr<pf::PageBridge> weak = bridge;
        bridge->registerHandler("ask", [weak](const pf::Value& data, const pf::PageBridge::ResponseCallback& respond) {
            if (auto b = weak.lock())
                b->callHandler("asked", data);
            respond(pf::Value());
        });

        int answers[2] {};
        std::uint64_t askedOn[2] {};
        auto askPage = [&](int which) {
            askedOn[which] = view->pageGeneration();
            bridge->callHandler("question", pf::Value(which), [&, which](const pf::Value&) {
                if (++answers[which] > 1 || view->pageGeneration() != askedOn[which])
                    std::abort();
            });
        };

        view->loadHtmlString(kPage, "http://fuzz.test/page.html");
        settle(loop);
        askPage(0);
        view->evaluate("window.input = " + pf::ScriptText::stringLiteral(input) + "; ask();");
        settle(loop);
        askPage(1);
        settle(loop);

        // A new page hands the same text: the first page's questions are not its to answer.
        view->loadHtmlString(kPage, "http://fuzz.test/other.html");
        settle(loop);
        view->evaluate("window.input = " + pf::ScriptText::stringLiteral(input) + "; ask();");
        settle(loop);
    }
    loop.reset();
    return 0;
}
