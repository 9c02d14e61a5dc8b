#include "sdk/lmconnect/lmapi/LMApiDatastore.h"
#include "sdk/lmconnect/lmapi/LMApiMessageAndUrlConverter.h"
#include "sdk/lmconnect/lmapi/LMApiURLEncoder.h"
#include "sdk/lmconnect/lmapi/LMOpenApiUtility.h"
#include "sdk/lmconnect/lmapi/LMWebViewKit.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/web/MRWebViewController.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"

#include "platform/foundation/HostTable.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kAppId = "100481327";
constexpr const char* kScheme = "LM05FD3A2F";

// The vendor's share page in a web window served by the one share-return kit.
class ShareReturnWindowTest : public testing::Test {
protected:
    ShareReturnWindowTest()
    {
        pf::UIEnvironment::reset();
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
        auto& store = LMApiDatastore::instance();
        store.appId = kAppId;
        store.scheme = kScheme;
        appWindow = std::make_shared<pf::Window>(pf::Screen::main().bounds());
        appWindow->setRootViewController(std::make_shared<pf::ViewController>());
        appWindow->makeKeyAndVisible();
        kit = MRWebViewKit::initWithUrl(MorrowHostConfig::shared().webBase(), std::string("分享"), {});
        LMWebViewKit::instance()->setWebViewKit(kit);
    }
    ~ShareReturnWindowTest() override
    {
        LMWebViewKit::instance()->setWebViewKit(nullptr);
        LMWebViewKit::instance()->setTimer(std::nullopt);
        LMApiDatastore::instance().scheme.clear();
        pf::UIEnvironment::reset();
    }

    std::shared_ptr<pf::WebView> page() const { return kit->webViewController() ? kit->webViewController()->webview() : nullptr; }
    bool loaded()
    {
        return env.runUntil([&] {
            auto view = page();
            return view && !view->isLoading() && view->pageGeneration() > 0 && view->url() != "about:blank";
        });
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    pf::Driver driver;
    std::shared_ptr<pf::Window> appWindow;
    std::shared_ptr<MRWebViewKit> kit;
};

}

TEST_F(ShareReturnWindowTest, TheWindowClosesOnlyOnOurShareReturnThroughTheAuthorisationHost)
{
    const std::string host = LMWebViewKit::kAuthorizationHost;
    struct Case {
        std::string address;
        bool closes;
    };
    const std::vector<Case> cases {
        { "morrow100481327://" + host + "/share?#action=shareToLM&result=complete", true },
        { std::string(kScheme) + "://" + host + "/r?#result=cancel&action=shareToLM", true },
        { "https://" + host + "/back?app=100481327?#action=shareToLM", true },
        { "morrow100481327://" + host + "/share?#action=share&result=complete", false },
        { "morrow100481327://" + host + "/share#action=shareToLM", false },
        { "morrow100481327://elsewhere.invalid/share?#action=shareToLM", false },
        { "morrow999://" + host + "/share?#action=shareToLM", false },
    };
    // A timer the owner left pending is stopped when the window opens.
    bool timerFired = false;
    LMWebViewKit::instance()->setTimer(pf::RunLoop::main().postDelayed(5, [&] { timerFired = true; }));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        LMWebViewKit::instance()->openWebKit();
        EXPECT_FALSE(LMWebViewKit::instance()->timer());
        env.fastForwardBy(MRWebViewKit::kOpenDuration + 0.1);
        ASSERT_TRUE(kit->window());
        ASSERT_TRUE(loaded());
        page()->evaluate("location.href = " + pf::Json::write(pf::Value(c.address)));
        env.runUntilIdle();
        env.fastForwardBy(MRWebViewKit::kCloseDuration + 0.1);
        EXPECT_EQ(!kit->window(), c.closes);
        if (kit->window()) {
            kit->doClose();
            env.fastForwardBy(MRWebViewKit::kCloseDuration + 0.1);
        }
        EXPECT_TRUE(appWindow->isKeyWindow());
    }
    EXPECT_FALSE(timerFired);

    // Every load goes on, also one without an address; sharing to a friend only says yes.
    EXPECT_TRUE(LMWebViewKit::instance()->webViewKitShouldStartLoadWithRequest(*kit, pf::UrlRequest(), pf::WebNavigationType::Other));
    EXPECT_TRUE(LMWebViewKit::instance()->shareToFriend(pf::Value()));
    // Without a window, opening does nothing.
    LMWebViewKit::instance()->setWebViewKit(nullptr);
    LMWebViewKit::instance()->openWebKit();
    EXPECT_TRUE(appWindow->isKeyWindow());
}

TEST_F(ShareReturnWindowTest, OutgoingAddressesAreJoinedAsGivenAndAddressItemsAreBase64)
{
    struct Case {
        std::string scheme, host, path;
        std::map<std::string, std::string> items;
        std::optional<std::string> address;
    };
    const std::vector<Case> cases {
        { "mlmapi", "share", "/news", { { "title", "5aW9" }, { "a", "x+y/z=" } }, "mlmapi://share/news?a=x+y/z=&title=5aW9" },
        { "mlmapi", "share", "", { }, "mlmapi://share" },
        { "mlmapi", "", "/only", { { "k", "" } }, "mlmapi:///only?k=" },
        { "", "share", "/news", { { "k", "v" } }, std::nullopt },
    };
    for (const auto& c : cases) {
        auto url = LMApiURLEncoder::urlWithScheme(c.scheme, c.host, c.path, c.items);
        EXPECT_EQ(url ? std::optional<std::string>(url->absoluteString()) : std::nullopt, c.address) << c.scheme << c.host << c.path;
    }

    std::map<std::string, std::string> items;
    LMApiMessageAndUrlConverter::setURLForKeyToQueryItem(pf::Url::fromString("http://a.invalid/p?q=1"), "url", items);
    LMApiMessageAndUrlConverter::setURLForKeyToQueryItem(pf::Url::fromString("http://b.invalid/"), "", items);
    LMApiMessageAndUrlConverter::setURLForKeyToQueryItem(std::nullopt, "none", items);
    EXPECT_EQ(items, (std::map<std::string, std::string> { { "url", LMOpenApiUtility::base64EncodedStringWithUTF8String("http://a.invalid/p?q=1") } }));
}
