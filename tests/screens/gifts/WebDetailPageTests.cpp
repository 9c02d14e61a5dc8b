#include "tests/screens/PortalScreenFixture.h"

#include "platform/foundation/Url.h"
#include "screens/gifts/WebDetailPageViewController.h"

namespace {

class WebDetailPageTest : public PortalScreenFixture {
protected:
    WebDetailPageTest() { PortalTestClient::pointEverythingAt(portal); }

    static std::string bodyOf(const pf::UrlRequest& request) { return std::string(request.body().begin(), request.body().end()); }
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
