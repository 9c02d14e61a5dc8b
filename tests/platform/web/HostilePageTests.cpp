#include "WebTestSupport.h"

#include "platform/foundation/Log.h"
#include "platform/web/HtmlParser.h"
#include "platform/web/ScriptContext.h"

#include <chrono>

using namespace pf;

namespace {
std::string repeated(const std::string& unit, int times)
{
    std::string s;
    s.reserve(unit.size() * times);
    for (int i = 0; i < times; ++i)
        s += unit;
    return s;
}

// Waits on real time without sleeping: a native call that is slow for sure.
void spin(double seconds)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
    }
}
}

// Each page here once froze the app or exhausted its memory. Whatever the page does, the
// load ends, posted work runs, the page still answers, and the app's memory is its own.
TEST_F(WebTest, HostilePagesEndInErrorsNotHangs)
{
    const std::string misnested = repeated("<b><div></b>", 40000);
    // Past the nesting scan: every text reopens all the formatting elements left open so far.
    std::string reopened;
    for (int i = 0; i < 20000; ++i)
        reopened += "<div><b id=" + std::to_string(i) + "></div>x";
    struct Case {
        const char* what;
        std::string html;
    } cases[] = {
        { "interval slower than its beat", "<script>setInterval(function () { var t = Date.now(); while (Date.now() - t < 20) {} }, 0)</script>" },
        { "timers that double at zero delay", "<script>function t() { setTimeout(t, 0); setTimeout(t, 0); } t()</script>" },
        { "join of a huge sparse array", "<script>var a = []; a.length = 2e8; a.join('')</script>" },
        { "indexOf of a huge sparse array", "<script>var a = []; a.length = 2e9; a.indexOf(1)</script>" },
        { "lastIndexOf of a huge sparse array", "<script>var a = []; a.length = 2e9; a.lastIndexOf(1)</script>" },
        { "backtracking expression", "<script>/(a+)+$/.test(new Array(40).join('a') + '!')</script>" },
        { "a heap filled to its limit", "<script>var a = []; for (;;) a.push(new Array(1e6).join('x'))</script>" },
        { "a flood of large alerts", "<script>var s = 'x'; while (s.length < (1 << 20)) s += s; for (var i = 0; i < 3000; i++) alert(s)</script>" },
        { "misnested formatting tags", misnested },
        { "formatting reopened by every text", reopened },
        { "misnested formatting tags through innerHTML",
            "<script>var s = ''; for (var i = 0; i < 40000; i++) s += '<b><div></b>'; try { document.body.innerHTML = s; } catch (e) { var refused = e.message; }</script>" },
    };
    for (bool manual : { true, false }) {
        if (!manual)
            env.clock().useSystemTime();
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (manual ? " (manual clock)" : " (real clock)"));
            webView->setScriptBudget(0.2);
            Log::startCapture();
            load(c.html);
            // What the page scheduled keeps the share it was made with; the checks below get
            // a budget that a busy machine cannot overrun by accident.
            webView->setScriptBudget(5);
            if (manual)
                env.fastForwardBy(0.02);
            bool answered = false;
            RunLoop::main().post([&] { answered = true; });
            EXPECT_TRUE(env.runUntil([&] { return answered; }));
            EXPECT_EQ(eval("'still answering'"), "still answering");
            EXPECT_LE(webView->alerts().size(), 16u);
            // The page keeps a bounded number of timers, whatever it asks for.
            EXPECT_LE(RunLoop::main().scheduledCount(), 600u);
            Log::stopCapture();
            load("<title>next</title>");
            EXPECT_EQ(webView->title(), "next");
        }
    }
}

TEST_F(WebTest, NativeTimeIsChargedAndNestedRunsGetOnlyWhatIsLeft)
{
    webView->setScriptBudget(0.2);
    int slowCalls = 0;
    webView->registerFunction("app.slow", [&](const std::vector<Value>&) {
        ++slowCalls;
        spin(0.3);
        return Value();
    });
    std::weak_ptr<WebView> weak = webView;
    int nestedCalls = 0;
    webView->registerFunction("app.nested", [&, weak](const std::vector<Value>&) {
        ++nestedCalls;
        // A fresh budget here would let the caller loop for ever, one nested budget at a time.
        return Value(weak.lock()->evaluate("for (;;) {}").value_or("none"));
    });
    Log::startCapture();
    EXPECT_EQ(eval("for (;;) app.slow()"), "");
    EXPECT_EQ(slowCalls, 1);
    // The stop is not caught by the script either.
    EXPECT_EQ(eval("var caught = 0; for (;;) { try { app.nested(); } catch (e) { caught++; } }"), "");
    EXPECT_EQ(nestedCalls, 1);
    Log::stopCapture();
    webView->setScriptBudget(5);
    EXPECT_EQ(eval("'usable'"), "usable");
}

TEST_F(WebTest, WhatCrossesToNativeCodeIsBoundedInBytes)
{
    int calls = 0;
    Value seen;
    webView->registerFunction("probe", [&](const std::vector<Value>& args) {
        ++calls;
        seen = args.empty() ? Value() : args[0];
        return Value();
    });
    // One large string once is fine; the same string in many places counts each time.
    EXPECT_EQ(eval("var big = 'x'; while (big.length < (8 << 20)) big += big; probe(big); 'ok'"), "ok");
    ASSERT_EQ(calls, 1);
    ASSERT_TRUE(seen.asString());
    EXPECT_EQ(seen.asString()->size(), 8u << 20);
    EXPECT_EQ(eval("var pairs = []; for (var i = 0; i < 300; i++) pairs.push(['f' + i, big]); try { probe(pairs); 'passed' } catch (e) { e.name }"), "RangeError");
    EXPECT_EQ(calls, 1);
    // Alerts keep the recent ones, each cut to a bounded length.
    eval("var part = big.substring(0, 100000); for (var i = 0; i < 40; i++) alert(i + ':' + part)");
    ASSERT_EQ(webView->alerts().size(), 16u);
    EXPECT_EQ(webView->alerts().back().substr(0, 3), "39:");
    EXPECT_LT(webView->alerts().back().size(), 100000u);
    eval("big = null; pairs = null; part = null");
}

TEST(HtmlParser, TheParseIsBoundedWhateverTheMarkup)
{
    // Closing a formatting element leaves the blocks inside it open: this nests 40 000 deep.
    auto misnested = HtmlParser::parseDocument(repeated("<b><div></b>", 40000));
    EXPECT_FALSE(misnested.ok);
    EXPECT_NE(misnested.error.find("deeper"), std::string::npos) << misnested.error;
    EXPECT_GT(HtmlParser::scanShape(repeated("<i><p></i>", 300)).depth, HtmlParser::kMaxDepth);
    EXPECT_LT(HtmlParser::scanShape(repeated("<p><b>x</b></p>", 300)).depth, 5);

    // Past its time the parse is abandoned, and what it held is freed (the sanitizers see).
    std::string many = repeated("<p class=a>text <a href=#>link</a></p>", 2000);
    auto late = HtmlParser::parseDocument(many, 0);
    EXPECT_FALSE(late.ok);
    EXPECT_NE(late.error.find("too long"), std::string::npos) << late.error;
    EXPECT_FALSE(HtmlParser::parseFragment(many, 0).ok);
    EXPECT_TRUE(HtmlParser::parseDocument(many).ok);

    // The size limit is the caller's to raise (text converted from another charset).
    std::string large(HtmlParser::kMaxBytes + 10, 'a');
    EXPECT_FALSE(HtmlParser::parseDocument(large).ok);
    EXPECT_TRUE(HtmlParser::parseDocument(large, 10, 2 * HtmlParser::kMaxBytes).ok);
}

TEST_F(WebTest, APageTakesAtMostItsShareOfAPass)
{
    // Ten timers due together, each busy for 0.1 s of real time, with a share of 0.25 s: one
    // pass runs no more than three of them (the third cut short), the rest wait their turn.
    webView->setScriptBudget(0.25);
    load(R"(<script>var ran = 0;
        for (var i = 0; i < 10; i++) setTimeout(function () { ran++; var t = Date.now(); while (Date.now() - t < 100) {} }, 10);
        </script>)");
    env.clock().advance(1);
    auto& loop = RunLoop::main();
    int passes = 0;
    int before = 0;
    while (passes < 40) {
        loop.runPending();
        ++passes;
        webView->setScriptBudget(5);
        int ran = std::stoi(eval("String(ran)"));
        webView->setScriptBudget(0.25);
        EXPECT_LE(ran - before, 3) << "pass " << passes;
        before = ran;
        if (ran == 10)
            break;
    }
    EXPECT_EQ(before, 10);
    EXPECT_GE(passes, 4);
}
