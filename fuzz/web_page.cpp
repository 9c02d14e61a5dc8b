// fuzz-timeout: 5
// Web pages: the input is a document, then (after a NUL) a script the app runs in it. The
// document is parsed on its own and as a fragment, then shown in a web view that fetches
// nothing remote; its scripts, timers, links and buttons run under a short budget. A slow
// input is a finding as much as a crash: every run must end well within the time limit.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/web/HtmlParser.h"
#include "platform/web/WebView.h"

#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    fuzz::prepareMainLoop();
    fuzz::FuzzInput input(data, size);
    std::string document(input.takeUntil('\0'));
    std::string script(input.rest());

    pf::HtmlParser::parseDocument(document);
    pf::HtmlParser::parseFragment(document);

    auto& loop = pf::RunLoop::main();
    {
        auto view = std::make_shared<pf::WebView>();
        view->setRefusesRemoteLoads(true);
        view->setScriptBudget(0.2);
        view->loadHtmlString(document, "http://fuzz.test/page.html");
        for (int pass = 0; pass < 100 && view->isLoading(); ++pass)
            loop.runPending();
        if (!script.empty())
            view->evaluate(script);
        for (int step = 0; step < 5; ++step)
            loop.advanceBy(0.05);
        // What a person would do next: read the page, follow its first link, press its first
        // button.
        for (const std::string& line : view->contentLines()) {
            auto quoted = line.find('"');
            if (quoted == std::string::npos || line.size() < quoted + 2)
                continue;
            std::string name = line.substr(quoted + 1, line.size() - quoted - 2);
            if (line.starts_with("link "))
                view->activateLink(name);
            else if (line.starts_with("button "))
                view->pressButton(name);
            else
                continue;
            break;
        }
        for (int pass = 0; pass < 20; ++pass)
            loop.runPending();
        view->title();
    }
    loop.reset();
    return 0;
}
