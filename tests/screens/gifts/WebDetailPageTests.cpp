#include "tests/screens/PortalScreenFixture.h"

#include "platform/foundation/Url.h"
#include "core/views/LoadingPromptView.h"
#include "screens/gifts/WebDetailPageViewController.h"
#include "platform/web/WebView.h"

namespace {

class WebDetailPageTest : public PortalScreenFixture {
protected:
    WebDetailPageTest() { PortalTestClient::pointEverythingAt(portal); }

    static std::string bodyOf(const pf::UrlRequest& request) { return std::string(request.body().begin(), request.body().end()); }

    std::shared_ptr<WebDetailPageViewController> open(const std::string& address)
    {
        auto screen = std::make_shared<WebDetailPageViewController>();
        screen->setWebDetailPageType(WebDetailPageViewController::kPortalPageType);
        screen->setInfoKeeper({ address });
        push(screen);
        return screen;
    }
    bool shows(const std::shared_ptr<WebDetailPageViewController>& screen, const std::string& text) const
    {
        for (const auto& line : screen->webView()->contentLines()) {
            if (line.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    bool indicatorShown(const std::shared_ptr<WebDetailPageViewController>& screen) const
    {
        return screen->loadingPromptView() && screen->loadingPromptView()->superview();
    }
};

TEST_F(WebDetailPageTest, TheMarkerJoinsTheQueryOfAnyAddress)
{
    for (auto [address, marked] : { std::pair { "http://p/api/user/refer", "http://p/api/user/refer?from=iphone" },
             { "http://p/page?a=1", "http://p/page?a=1&from=iphone" }, { "http://p/page?", "http://p/page?from=iphone" },
             { "http://p/page?a=1&", "http://p/page?a=1&from=iphone" } })
        EXPECT_EQ(WebDetailPageViewController::markedAddress(address), marked);
}

TEST_F(WebDetailPageTest, TheTokenGoesOnlyWhereThereIsOneAndValuesAreFormEscaped)
{
    std::string feedback = portal.apiBaseURL() + "user/refer";
    AppInfoConfiguration::sharedInstance()->setForumBaseURL("http://forum.example/a&b=c+d/");

    auto request = WebDetailPageViewController::pageRequest(feedback);
    EXPECT_EQ(request.method(), "POST");
    EXPECT_FALSE(request.valueForHeader("Authorization")) << "no token, no credential";
    auto fields = PortalTestClient::formFields(bodyOf(request));
    EXPECT_EQ(fields["refurl"], "http://forum.example/a%26b%3Dc%2Bd/forum-2508-1.html");
    EXPECT_EQ(pf::Url::unescape(fields["refurl"]), "http://forum.example/a&b=c+d/forum-2508-1.html");
    EXPECT_TRUE(fields.count("actoken") && fields.count("actime"));

    std::string token = storeTokenOf("demo", "demo123");
    request = WebDetailPageViewController::pageRequest(feedback);
    EXPECT_EQ(request.valueForHeader("Authorization"), "OAuth usertoken=\"" + token + "\"");
    fields = PortalTestClient::formFields(bodyOf(request));
    std::string actime = fields["actime"];
    EXPECT_EQ(fields["actoken"], NetworkParameterAssistant::fetchActoken(token, std::stod(actime)));
}

}

namespace {

TEST_F(WebDetailPageTest, TheFeedbackPageOpensAsTheUserOrAsNobody)
{
    showRoot();
    std::string feedback = portal.apiBaseURL() + "user/refer";
    // The page is held at the portal until the indicator has been seen: a quick reply would
    // otherwise end the load before the screen is looked at.
    portal.holdOperation("user/refer");
    auto anonymous = open(feedback);
    EXPECT_TRUE(indicatorShown(anonymous));
    portal.releaseHeld();
    ASSERT_TRUE(env.runUntil([&] { return anonymous->isLoadedFinished(); }));
    EXPECT_FALSE(indicatorShown(anonymous));
    EXPECT_TRUE(shows(anonymous, "您尚未登录"));
    EXPECT_TRUE(shows(anonymous, "Authorization: (none)"));
    EXPECT_TRUE(shows(anonymous, "query: from=iphone"));
    navigation->popViewController(false);

    storeTokenOf("demo", "demo123");
    auto signedIn = open(feedback);
    ASSERT_TRUE(env.runUntil([&] { return signedIn->isLoadedFinished(); }));
    EXPECT_TRUE(shows(signedIn, "当前用户：萌新玩家"));
    auto requests = portal.receivedRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].query, "from=iphone");

    // Shown again, the page is asked for again; the indicator does not come back.
    push(std::make_shared<AdaptedViewController>());
    navigation->popViewController(false);
    settle();
    EXPECT_EQ(portal.receivedRequests().size(), 2u);
    EXPECT_FALSE(indicatorShown(signedIn));
}

TEST_F(WebDetailPageTest, AFailedLoadTakesTheIndicatorAwayAndSaysSo)
{
    showRoot();
    portal.stop();
    auto screen = open(portal.apiBaseURL() + "user/refer");
    ASSERT_TRUE(env.runUntil([&] { return !indicatorShown(screen); }));
    EXPECT_TRUE(driver.findContainingText(WebDetailPageViewController::kLoadFailed));
    EXPECT_FALSE(screen->isLoadedFinished());
}

}
