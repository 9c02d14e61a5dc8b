#include "WebTestSupport.h"

#include "platform/foundation/Log.h"
#include "platform/testing/TestHttpServer.h"

using namespace pf;

// The page's own world: forms, links, timers and location, as the page's scripts see them.
class DomPreludeTest : public WebTest {
protected:
    TestHttpServer server;
};

TEST_F(DomPreludeTest, AHashLinkThatSubmitsAFormLetsTheFormGo)
{
    server.on("GET", "/form", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html; charset=utf-8";
        r.body = R"html(<form name="form" method="post" action="/send"><input name="code" value="">
            <a href="#" onclick="form.submit()">Send</a>
            <a href="#" onclick="document.forms[0].submit(); return false">Send quietly</a></form>)html";
        return r;
    });
    server.on("POST", "/send", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html; charset=utf-8";
        r.body = "<title>sent</title>";
        return r;
    });
    for (const char* link : { "Send", "Send quietly" }) {
        SCOPED_TRACE(link);
        loadUrl(server.url("/form"));
        ASSERT_TRUE(webView->fillField("code", "ABC 123"));
        delegate->events.clear();
        ASSERT_TRUE(webView->activateLink(link));
        ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
        EXPECT_EQ(webView->title(), "sent");
        auto requests = server.requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().method, "POST");
        EXPECT_EQ(requests.back().body, "code=ABC+123");
    }
}

TEST_F(DomPreludeTest, FragmentsKeepThePageAndJavascriptAddressesRunInIt)
{
    load(R"(<p id="out">none</p>
        <a href="#top">Top</a>
        <a href="javascript:document.getElementById('out').textContent='ran'%3Bvoid 0">Run</a>)");
    ASSERT_TRUE(webView->activateLink("Top"));
    env.runUntilIdle();
    EXPECT_EQ(webView->url(), "http://example.test/page.html#top");
    EXPECT_EQ(eval("location.hash"), "#top");
    EXPECT_EQ(eval("document.getElementById('out').textContent"), "none");

    auto generation = webView->pageGeneration();
    ASSERT_TRUE(webView->activateLink("Run"));
    env.runUntilIdle();
    EXPECT_EQ(eval("document.getElementById('out').textContent"), "ran");
    EXPECT_EQ(webView->pageGeneration(), generation);
    EXPECT_FALSE(webView->isLoading());

    // Set from script, the same: a load under way is not cancelled by either.
    load("<title>kept</title>");
    eval("location.href = 'javascript:document.title = \"changed\"'");
    env.runUntilIdle();
    EXPECT_EQ(webView->title(), "changed");
    // The questions the delegate was asked are the real loads only.
    for (const auto& q : delegate->questions)
        EXPECT_EQ(q.url.find("javascript:"), std::string::npos) << q.url;
}

TEST_F(DomPreludeTest, NestedZeroDelaysAreClampedAndLiveTimersBounded)
{
    // A timer that re-arms itself at zero delay runs at once five levels deep, then no sooner
    // than every 4 ms.
    load(R"(<script>var runs = 0; function again() { runs++; setTimeout(again, 0); } setTimeout(again, 0);</script>)");
    env.fastForwardBy(0);
    EXPECT_EQ(eval("runs"), "5");
    env.fastForwardBy(0.004);
    EXPECT_EQ(eval("runs"), "6");
    env.fastForwardBy(0.040);
    EXPECT_EQ(eval("runs"), "16");

    // A page cannot keep more than a bounded number of timers alive.
    Log::startCapture();
    load(R"(<script>var ids = []; for (var i = 0; i < 2000; i++) ids.push(setTimeout(function () { fired++; }, 1000)); var fired = 0;</script>)");
    EXPECT_LE(RunLoop::main().scheduledCount(), 500u);
    EXPECT_TRUE(Log::contains("timer refused"));
    Log::stopCapture();
    env.fastForwardBy(1);
    EXPECT_EQ(eval("fired"), "500");
    // Cleared timers free their places.
    load(R"(<script>var fired = 0; for (var i = 0; i < 2000; i++) clearTimeout(setTimeout(function () { fired++; }, 10)); setTimeout(function () { fired = -1; }, 20);</script>)");
    env.fastForwardBy(1);
    EXPECT_EQ(eval("fired"), "-1");
}

TEST_F(DomPreludeTest, LocationReadsTheDocumentAddress)
{
    load("<p>x</p>", "http://example.test:8080/dir/page.html?a=1#frag");
    struct Case {
        const char* expression;
        const char* value;
    } cases[] = {
        { "location.href", "http://example.test:8080/dir/page.html?a=1#frag" },
        { "location.protocol", "http:" },
        { "location.host", "example.test:8080" },
        { "location.hostname", "example.test" },
        { "location.pathname", "/dir/page.html" },
        { "location.search", "?a=1" },
        { "location.hash", "#frag" },
        { "String(location)", "http://example.test:8080/dir/page.html?a=1#frag" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(eval(c.expression), c.value) << c.expression;
    // Assigning navigates after the script, through the delegate.
    delegate->allow = [](const std::string&) { return false; };
    eval("location.href = '/other'");
    env.runUntilIdle();
    ASSERT_FALSE(delegate->questions.empty());
    EXPECT_EQ(delegate->questions.back().url, "http://example.test:8080/other");
}
