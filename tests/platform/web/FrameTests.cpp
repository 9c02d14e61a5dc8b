#include "WebTestSupport.h"

using namespace pf;

// How a page calls native code through a hidden frame: the navigation question is answered
// during appendChild, so an answer set from inside it is there when the call returns.
static const char* kCaller = R"(
    var Caller = { value: undefined,
        call: function (url) {
            var f = document.createElement('iframe');
            f.style.display = 'none';
            f.onload = function () { f.parentNode.removeChild(f); window.frameLoads = (window.frameLoads || 0) + 1; };
            f.src = url;
            document.body.appendChild(f);
            var v = Caller.value; Caller.value = undefined; return v;
        } };
)";

TEST_F(WebTest, FrameNavigationsAreAskedSynchronouslyAndNeverReportedAsLoads)
{
    load(std::string("<body><script>") + kCaller + "</script></body>", "about:blank");
    std::weak_ptr<WebView> weak = webView;
    delegate->allow = [weak](const std::string& url) {
        if (url.starts_with("bridge:"))
            weak.lock()->evaluate("Caller.value = 'answer to ' + " + std::string("'") + url.substr(7, 10) + "'");
        return true;
    };
    delegate->events.clear();
    delegate->questions.clear();
    EXPECT_EQ(eval("Caller.call('bridge://openApi/isAppVersion?p0=%7B%7D&')"), "answer to //openApi/");
    ASSERT_EQ(delegate->questions.size(), 1u);
    EXPECT_EQ(delegate->questions[0].url, "bridge://openApi/isAppVersion?p0=%7B%7D&"); // exactly as written
    // The frame's onload comes later, on the main loop, and removes it.
    EXPECT_EQ(eval("document.getElementsByTagName('iframe').length"), "1");
    env.runUntilIdle();
    EXPECT_EQ(eval("document.getElementsByTagName('iframe').length + ',' + frameLoads"), "0,1");

    // Setting src on an attached frame asks again; a frame attached without src asks nothing.
    eval("var g = document.createElement('iframe'); document.body.appendChild(g); g.src = 'other://x'; g.setAttribute('src', 'other://y')");
    EXPECT_EQ(delegate->questions.size(), 3u);
    EXPECT_EQ(delegate->questions.back().url, "other://y");
    // None of it was a main-frame load.
    for (const auto& e : delegate->events)
        EXPECT_TRUE(e.starts_with("ask")) << e;
}

TEST_F(WebTest, ARefusedFrameNavigationLoadsNothing)
{
    load(std::string("<body><script>") + kCaller + "</script></body>", "about:blank");
    delegate->allow = [](const std::string&) { return false; };
    EXPECT_EQ(eval("String(Caller.call('refused://x'))"), "undefined");
    env.fastForwardBy(1);
    EXPECT_EQ(eval("document.getElementsByTagName('iframe').length + ',' + window.frameLoads"), "1,undefined");
}

TEST_F(WebTest, MainFrameNavigationsFromThePageAreAskedAfterTheScript)
{
    load(R"(<body><a id="l" href="next.html">next</a><form id="f" action="/search" method="get">
        <input name="q" value="a b&c"><input type="checkbox" name="off"></form></body>)");
    delegate->allow = [](const std::string&) { return false; };
    delegate->questions.clear();
    eval("location.href = 'http://example.test/other'; window.afterAssignment = true");
    EXPECT_TRUE(delegate->questions.empty());
    env.runUntilIdle();
    ASSERT_EQ(delegate->questions.size(), 1u);
    EXPECT_EQ(delegate->questions[0].url, "http://example.test/other");
    EXPECT_EQ(delegate->questions[0].type, WebNavigationType::Other);

    eval("document.getElementById('l').click()");
    eval("document.getElementById('f').submit()");
    env.runUntilIdle();
    ASSERT_EQ(delegate->questions.size(), 3u);
    EXPECT_EQ(delegate->questions[1].url, "http://example.test/next.html");
    EXPECT_EQ(delegate->questions[1].type, WebNavigationType::LinkClicked);
    EXPECT_EQ(delegate->questions[2].url, "http://example.test/search?q=a+b%26c");
    EXPECT_EQ(delegate->questions[2].type, WebNavigationType::FormSubmitted);
}
