#include "WebTestSupport.h"

#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Log.h"
#include "platform/testing/TestHttpServer.h"

using namespace pf;

namespace {
TestHttpServer::Response html(std::string body, std::vector<TestHttpServer::Header> headers = {})
{
    TestHttpServer::Response r;
    r.body = std::move(body);
    r.contentType = "text/html; charset=utf-8";
    r.headers = std::move(headers);
    return r;
}
TestHttpServer::Response redirect(int status, std::string to)
{
    TestHttpServer::Response r;
    r.status = status;
    r.headers = { { "Location", std::move(to) } };
    return r;
}
}

class WebLoadingTest : public WebTest {
protected:
    TestHttpServer server;
};

TEST_F(WebLoadingTest, InlineAndLinkedScriptsRunInDocumentOrder)
{
    server.on("GET", "/page", [](const auto&) {
        return html(R"(<script>var order = ['inline 1'];</script>
            <script src="/a.js"></script>
            <script src="missing.js"></script>
            <script>order.push('inline 2');</script>
            <script src="b.js"></script>)");
    });
    server.on("GET", "/a.js", [](const auto&) { return html("order.push('a');"); });
    server.on("GET", "/b.js", [](const auto&) { return html("order.push('b');"); });
    loadUrl(server.url("/page"));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(eval("order.join()"), "inline 1,a,inline 2,b");
    EXPECT_EQ(webView->url(), server.url("/page"));
}

TEST_F(WebLoadingTest, PostBodyHeadersAndCookiesReachTheServer)
{
    server.on("GET", "/set", [](const auto&) { return html("<p>set</p>", { { "Set-Cookie", "srctype=2; Path=/" } }); });
    server.on("POST", "/form", [](const auto&) { return html("<title>posted</title>"); });
    loadUrl(server.url("/set"));

    UrlRequest request(server.url("/form?from=iphone"));
    request.setMethod("POST");
    request.setValue("OAuth usertoken=\"t\"", "Authorization");
    request.setBody(std::string_view("a=1&b=2"));
    delegate->events.clear();
    webView->loadRequest(request);
    ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
    auto last = server.lastRequest();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->method, "POST");
    EXPECT_EQ(last->target, "/form?from=iphone");
    EXPECT_EQ(last->body, "a=1&b=2");
    EXPECT_EQ(last->header("Authorization").value_or(""), "OAuth usertoken=\"t\"");
    EXPECT_EQ(last->header("Cookie").value_or(""), "srctype=2");
    EXPECT_EQ(webView->title(), "posted");
}

TEST_F(WebLoadingTest, RedirectsAreAskedAboutAndKeepAuthorizationToTheSameHostOnly)
{
    std::string other = "http://localhost:" + std::to_string(server.port());
    server.on("POST", "/start", [](const auto&) { return redirect(302, "/same"); });
    server.on("GET", "/same", [other](const auto&) { return redirect(301, other + "/elsewhere"); });
    server.on("GET", "/elsewhere", [](const auto&) { return html("<title>arrived</title>"); });

    UrlRequest request(server.url("/start"));
    request.setMethod("POST");
    request.setValue("secret", "Authorization");
    request.setValue("proxy-secret", "Proxy-Authorization");
    request.setValue("session=1", "Cookie");
    request.setBody(std::string_view("x=1"));
    webView->loadRequest(request);
    ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
    EXPECT_EQ(webView->title(), "arrived");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].method, "GET"); // a 302 after a POST goes on with GET
    EXPECT_EQ(requests[1].header("Authorization").value_or("none"), "secret");
    EXPECT_EQ(requests[2].header("Authorization").value_or("none"), "none");
    // Every credential the caller set stays with the first server.
    EXPECT_EQ(requests[1].header("Cookie").value_or("none"), "session=1");
    EXPECT_EQ(requests[1].header("Proxy-Authorization").value_or("none"), "proxy-secret");
    EXPECT_EQ(requests[2].header("Cookie").value_or("none"), "none");
    EXPECT_EQ(requests[2].header("Proxy-Authorization").value_or("none"), "none");
    ASSERT_EQ(delegate->questions.size(), 3u);
    EXPECT_EQ(delegate->questions[2].url, other + "/elsewhere");

    // A redirect the delegate refuses ends the load; one to another scheme is never followed.
    server.on("GET", "/to-app", [](const auto&) { return redirect(302, "myapp://callback?token=1"); });
    loadUrl(server.url("/to-app"));
    EXPECT_EQ(delegate->events.back(), "fail URLErrorDomain -1002");
    delegate->allow = [](const std::string& url) { return url.find("/elsewhere") == std::string::npos; };
    loadUrl(server.url("/same"));
    EXPECT_EQ(delegate->events.back(), "fail WebViewErrorDomain 102");
    EXPECT_EQ(webView->title(), "arrived");
}

TEST_F(WebLoadingTest, TheDelegateCanRefuseAMainFrameLoad)
{
    server.on("GET", "/page", [](const auto&) { return html("<title>t</title>"); });
    delegate->allow = [](const std::string&) { return false; };
    webView->loadRequest(UrlRequest(server.url("/page")));
    env.runUntilIdle();
    EXPECT_EQ(delegate->events, (std::vector<std::string> { "ask " + server.url("/page") }));
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_FALSE(webView->isLoading());
}

TEST_F(WebLoadingTest, ARefusingWebViewFetchesNothingRemote)
{
    server.on("GET", "/page", [](const auto&) { return html("<title>t</title>"); });
    server.on("GET", "/s.js", [](const auto&) { return html("var fetched = 1;"); });
    webView->setRefusesRemoteLoads(true);
    loadUrl(server.url("/page"));
    EXPECT_EQ(delegate->events.back(), "fail WebViewErrorDomain 103");
    // A local page still loads, but its remote scripts do not.
    load("<script src=\"" + server.url("/s.js") + "\"></script><script>var local = 1;</script>", "about:blank");
    EXPECT_EQ(eval("typeof fetched + local"), "undefined1");
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(WebLoadingTest, ANewLoadCancelsTheOneUnderWay)
{
    TestHttpServer::Response held = html("<title>slow</title>");
    held.hold = true;
    server.on("GET", "/slow", [held](const auto&) { return held; });
    webView->loadRequest(UrlRequest(server.url("/slow")));
    env.runUntil([&] { return server.requestCount() == 1; });
    webView->loadHtmlString("<title>fast</title>", "about:blank");
    ASSERT_TRUE(env.runUntil([&] { return delegate->events.back() == "finish"; }));
    server.releaseHeld();
    env.waitForPendingWork();
    EXPECT_EQ(webView->title(), "fast");
    auto& e = delegate->events;
    EXPECT_NE(std::find(e.begin(), e.end(), "fail URLErrorDomain -999"), e.end());
}

TEST_F(WebLoadingTest, HostileDocumentsFailCleanlyAndKeepThePage)
{
    load("<title>good</title>");
    struct Case {
        const char* what;
        std::string html;
        bool loads;
    } cases[] = {
        { "broken markup", "<div><p>unclosed <b>bold <table><td>cell</div></i>&bogus; <", true },
        { "binary junk", std::string("\xff\xfe\x00<\x80scr\0ipt>", 12), true },
        { "enormous", std::string(3u << 20, 'a'), false },
        { "too deep", std::string(5000 * 5, ' ').replace(0, 0, "") + [] { std::string s; for (int i = 0; i < 5000; ++i) s += "<div>"; return s; }(), false },
        { "too many elements", [] { std::string s; for (int i = 0; i < 120000; ++i) s += "<br>"; return s; }(), false },
        { "end tags that close nothing", [] { std::string s; for (int i = 0; i < 50000; ++i) s += "<i>"; for (int i = 0; i < 300000; ++i) s += "</x>"; return s; }(), false },
    };
    for (const auto& c : cases) {
        load("<title>good</title>");
        load(c.html);
        if (c.loads) {
            EXPECT_EQ(delegate->events.back(), "finish") << c.what;
        } else {
            EXPECT_EQ(delegate->events.back(), "fail WebViewErrorDomain 104") << c.what;
            EXPECT_EQ(webView->title(), "good") << c.what;
        }
    }
    // A page that is only just within the limits still loads.
    std::string nested;
    for (int i = 0; i < 200; ++i)
        nested += "<div>";
    load(nested + "deep text");
    EXPECT_EQ(delegate->events.back(), "finish");
}

TEST_F(WebLoadingTest, ChinesePagesInGbkAreReadAsText)
{
    server.on("GET", "/header", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html; charset=GBK";
        r.body = "<title>\xC4\xE3\xBA\xC3</title>";
        return r;
    });
    server.on("GET", "/meta", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html";
        r.body = "<meta charset=\"gb2312\"><title>\xC4\xE3\xBA\xC3 \xFF</title>";
        return r;
    });
    loadUrl(server.url("/header"));
    EXPECT_EQ(webView->title(), "你好");
    loadUrl(server.url("/meta"));
    EXPECT_EQ(webView->title(), "你好 \xEF\xBF\xBD");
    // The size limit is on the bytes received: 1.4 MB of GBK is 2.1 MB of UTF-8.
    server.on("GET", "/long", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html; charset=GBK";
        r.body = "<title>\xC4\xE3\xBA\xC3</title><p>";
        while (r.body.size() < 1400u << 10)
            r.body += "\xC4\xE3\xBA\xC3";
        return r;
    });
    loadUrl(server.url("/long"));
    EXPECT_EQ(delegate->events.back(), "finish");
    EXPECT_EQ(webView->title(), "你好");
}
