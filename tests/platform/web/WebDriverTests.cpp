#include "WebTestSupport.h"

#include "platform/testing/TestHttpServer.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

using namespace pf;

class WebDriverTest : public WebTest {
protected:
    WebDriverTest()
    {
        window = std::make_shared<Window>();
        window->addSubview(webView);
        window->makeKeyAndVisible();
    }
    std::shared_ptr<Window> window;
    Driver driver;
    TestHttpServer server;
};

TEST_F(WebDriverTest, TheDumpShowsThePagesTitleAndVisibleText)
{
    load(R"(<html><head><title>Feedback</title><style>p { color: red }</style></head><body>
        <h1>Tell   us</h1><p>What went <b>wrong</b>?</p>
        <p style="display: none">hidden</p><div hidden>also hidden</div>
        <a href="/help">Help</a>
        <form><input name="user" placeholder="Name"><input type="password" name="pw" value="abc">
        <input type="hidden" name="t" value="x"><button>Send</button></form>
        <script>document.body.appendChild(document.createTextNode('added by script'));</script>
        </body></html>)");
    EXPECT_EQ(driver.dump(),
        "Window frame=(0,0,320,480) key\n"
        "  WebView frame=(0,0,320,480) title=\"Feedback\"\n"
        "    text \"Tell us\"\n"
        "    text \"What went wrong?\"\n"
        "    link \"Help\"\n"
        "    field \"user\" value=\"\"\n"
        "    field \"pw\" value=\"***\"\n"
        "    button \"Send\"\n"
        "    text \"added by script\"\n");

    // A page under another view cannot be acted on.
    auto cover = std::make_shared<Label>(Rect { 0, 0, 320, 480 });
    cover->setBackgroundColor(Color::white());
    window->addSubview(cover);
    EXPECT_FALSE(driver.tapLink("Help"));
}

TEST_F(WebDriverTest, APersonFillsAndSubmitsAFormAndFollowsALink)
{
    server.on("GET", "/login", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html";
        r.body = R"(<title>Log in</title><form method="post" action="/session">
            <input name="user"><input type="password" name="pass"><input type="checkbox" name="keep">
            <input type="submit" value="Log in"></form>
            <a href="/about">About us</a>)";
        return r;
    });
    server.on("POST", "/session", [](const auto& req) {
        TestHttpServer::Response r;
        r.contentType = "text/html";
        r.body = "<title>Welcome</title><p>hello</p>";
        return r;
    });
    server.on("GET", "/about", [](const auto&) {
        TestHttpServer::Response r;
        r.contentType = "text/html";
        r.body = "<title>About</title>";
        return r;
    });
    loadUrl(server.url("/login"));

    EXPECT_TRUE(driver.fillPageField("user", "demo user"));
    EXPECT_TRUE(driver.fillPageField("pass", "p&ss=1"));
    EXPECT_TRUE(driver.fillPageField("keep", "yes"));
    EXPECT_EQ(driver.fillPageField("nothing", "x").outcome, TouchResult::Outcome::NotFound);
    delegate->events.clear();
    EXPECT_TRUE(driver.pressPageButton("Log in"));
    ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
    EXPECT_EQ(webView->title(), "Welcome");
    auto posted = server.lastRequest();
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->body, "user=demo+user&pass=p%26ss%3D1&keep=on");
    ASSERT_FALSE(delegate->questions.empty());
    EXPECT_EQ(delegate->questions.back().type, WebNavigationType::FormSubmitted);

    loadUrl(server.url("/login"));
    delegate->events.clear();
    EXPECT_TRUE(driver.tapLink("About us"));
    ASSERT_TRUE(env.runUntil([&] { return delegate->settled(); }));
    EXPECT_EQ(webView->title(), "About");
    EXPECT_EQ(delegate->questions.back().type, WebNavigationType::LinkClicked);
    EXPECT_FALSE(driver.tapLink("About us")); // not on this page
}
