#include "WebTestSupport.h"

#include "platform/foundation/Log.h"
#include "platform/web/PageLog.h"

#include <algorithm>
#include <functional>

using namespace pf;

namespace {

size_t containing(const std::vector<std::string>& lines, const std::string& needle)
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(needle) != std::string::npos; }));
}

// What one page may make the app print at most, whatever it does, for as long as it is shown.
constexpr size_t kMaxLines = PageLog::kMaxLines + 2;
constexpr size_t kMaxBytes = kMaxLines * (PageLog::kMaxLineBytes + 64);

}

// Pages that cause a log line per event as fast as they run: the app's log takes a bounded
// share of each, and the count of what was left out when the page goes.
TEST_F(WebTest, WhatAHostilePageMakesTheAppPrintIsBounded)
{
    struct Case {
        const char* what;
        const char* flood;        // started from a timer, so the page's own script is quick whatever the load
        const char* repeatedLine; // text of the line each event causes
        bool timers;
    };
    const Case cases[] = {
        { "timers beyond the limit", "function t() { setTimeout(t, 0); setTimeout(t, 0); } t()", "timer refused", true },
        { "console output", "setInterval(function () { for (var i = 0; i < 100; i++) console.log('line ' + i); }, 0)", "line ", false },
        { "alerts", "setInterval(function () { for (var i = 0; i < 100; i++) alert('alert ' + i); }, 0)", "alert ", false },
        { "errors with long messages", "var m = new Array(2000).join('e'); for (var i = 0; i < 10; i++) setInterval(function () { throw new Error(m); }, 0)", "eee", false },
        { "refused markup", "var deep = new Array(300).join('<div>'); setInterval(function () { for (var i = 0; i < 20; i++) try { document.body.innerHTML = deep; } catch (e) {} }, 0)",
            "markup refused", false },
    };
    // Shows another page, and runs until the one shown before has been let go.
    auto letThePageGo = [&] {
        load("<title>next</title>");
        bool after = false; // the old page is let go once the loop comes round
        RunLoop::main().post([&] { after = true; });
        EXPECT_TRUE(env.runUntil([&] { return after; }));
    };
    auto floods = [&] { return eval("window.flooding === true") == "true"; };
    for (bool manual : { true, false }) {
        if (!manual)
            env.clock().useSystemTime();
        // Runs passes of the main loop, each giving the page its share, until `done` holds:
        // as many as it takes, however long they take.
        auto runPassesUntil = [&](const std::function<bool()>& done) {
            if (!manual)
                return env.runUntil(done);
            for (int i = 0; i < 10000 && !done(); ++i)
                env.fastForwardBy(0.01);
            return done();
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (manual ? " (manual clock)" : " (real clock)"));
            webView->setScriptBudget(0.05);
            // A machine busy elsewhere may stop a run for its budget before the flood has begun:
            // the page tries to start it at every beat until it has, and a page whose own script
            // was stopped is let go and loaded again, so that what is checked always floods.
            bool flooding = false;
            for (int attempt = 0; attempt < 10 && !flooding; ++attempt) {
                if (attempt > 0) {
                    Log::stopCapture();
                    letThePageGo();
                }
                Log::startCapture();
                load(std::string("<script>setInterval(function () { if (window.flooding) return; ") + c.flood
                    + "; window.flooding = true }, 0)</script>");
                const auto started = RunLoop::main().passCount() + 10;
                runPassesUntil([&] { return floods() || RunLoop::main().passCount() >= started; });
                flooding = floods();
            }
            ASSERT_TRUE(flooding);
            // Until the page has caused more than it may print, then some passes more.
            ASSERT_TRUE(runPassesUntil([&] { return Log::contains(c.timers ? "timer refused" : "only counted"); }));
            const auto until = RunLoop::main().passCount() + 30;
            EXPECT_TRUE(runPassesUntil([&] { return RunLoop::main().passCount() >= until; }));
            const auto shown = Log::captured();
            size_t bytes = 0;
            for (const auto& line : shown)
                bytes += line.size();
            EXPECT_GT(containing(shown, c.repeatedLine), 0u) << "the page's first lines are logged";
            EXPECT_LE(shown.size(), kMaxLines);
            EXPECT_LE(bytes, kMaxBytes);
            if (c.timers) {
                EXPECT_EQ(containing(shown, "timer refused"), 1u) << "said once per page";
            }

            // The page goes: one line says what was only counted.
            Log::stopCapture();
            Log::startCapture();
            letThePageGo();
            const auto gone = Log::captured();
            Log::stopCapture();
            EXPECT_EQ(containing(gone, "http://example.test/page.html:"), 1u);
            EXPECT_EQ(containing(gone, c.timers ? "timers refused" : "lines not logged"), 1u);
            EXPECT_LE(gone.size(), 2u);
        }
    }
}

TEST(PageLog, LinesAreCutAndCountedAndTheRestIsSummedUpWhenThePageGoes)
{
    TaskEnvironment env;
    Log::startCapture();
    {
        PageLog log("http://example.test/p.html");
        log.line(std::string(PageLog::kMaxLineBytes + 100, 'x'));
        // A cut never splits a character: "汉" is three bytes.
        std::string wide;
        while (wide.size() < PageLog::kMaxLineBytes + 10)
            wide += "汉";
        log.line(wide);
        for (int i = 0; i < 1000; ++i)
            log.timerRefused(500);
        for (size_t i = 3; i < PageLog::kMaxLines + 50; ++i)
            log.line("line " + std::to_string(i));
    }
    auto lines = Log::captured();
    Log::stopCapture();
    // The kept lines, the one that says counting began, the summary.
    ASSERT_EQ(lines.size(), PageLog::kMaxLines + 2);
    EXPECT_EQ(lines[0].size(), PageLog::kMaxLineBytes);
    EXPECT_LE(lines[1].size(), PageLog::kMaxLineBytes);
    EXPECT_EQ(lines[1].size() % 3, 0u) << "cut inside a character";
    EXPECT_NE(lines[2].find("timer refused"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[PageLog::kMaxLines - 1], "line " + std::to_string(PageLog::kMaxLines - 1));
    EXPECT_NE(lines[PageLog::kMaxLines].find("counted"), std::string::npos) << lines[PageLog::kMaxLines];
    EXPECT_EQ(lines.back(), "web page http://example.test/p.html: 1000 timers refused, 50 lines not logged");
}
