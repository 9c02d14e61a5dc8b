#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/web/MRUiKit.h"
#include "sdk/lmconnect/web/MRWebViewController.h"
#include "sdk/lmconnect/web/MRWebViewKit.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Layer.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>

namespace {

struct KitRecorder : MRWebViewKitDelegate {
    std::vector<std::optional<pf::UrlError>> finished;
    std::vector<int> contentErrors;
    std::vector<int> networkErrors;
    std::vector<std::string> asked;
    void webViewKitDidFinishedWithError(MRWebViewKit&, const std::optional<pf::UrlError>& e) override { finished.push_back(e); }
    void webViewKitDidLoadWithContentError(MRWebViewKit&, const pf::UrlError& e) override { contentErrors.push_back(e.code); }
    void webViewKitDidLoadWithNetworkError(MRWebViewKit&, const pf::UrlError& e) override { networkErrors.push_back(e.code); }
    bool webViewKitShouldStartLoadWithRequest(MRWebViewKit&, const pf::UrlRequest& r, pf::WebNavigationType) override
    {
        asked.push_back(r.url());
        return true;
    }
};

class WebWindowTest : public testing::Test {
protected:
    WebWindowTest()
    {
        pf::UIEnvironment::reset();
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
        appWindow = std::make_shared<pf::Window>(pf::Screen::main().bounds());
        appWindow->setRootViewController(std::make_shared<pf::ViewController>());
        appWindow->makeKeyAndVisible();
    }
    ~WebWindowTest() override { pf::UIEnvironment::reset(); }

    std::string root() const { return MorrowHostConfig::shared().webBase(); }
    std::shared_ptr<pf::WebView> page(const MRWebViewKit& kit) const
    {
        return kit.webViewController() ? kit.webViewController()->webview() : nullptr;
    }
    bool loaded(const MRWebViewKit& kit)
    {
        return env.runUntil([&] {
            auto view = page(kit);
            return view && !view->isLoading() && view->pageGeneration() > 0 && !view->url().empty() && view->url() != "about:blank";
        });
    }
    std::string barTitle(const MRWebViewKit& kit) const { return kit.webViewController()->navigationItem().title(); }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    pf::Driver driver;
    std::shared_ptr<pf::Window> appWindow;
    std::shared_ptr<KitRecorder> recorder = std::make_shared<KitRecorder>();
};

TEST_F(WebWindowTest, OpensOverTheAppAndClosesOnceRestoringEveryWindow)
{
    auto kit = MRWebViewKit::initWithUrl(root(), std::string("标题"), recorder);
    ASSERT_TRUE(kit->open());
    auto window = kit->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(barTitle(*kit), "标题");
    EXPECT_TRUE(kit->navigationController()->navigationBar()->backgroundImage()); // the bundle's bar image
    // Half-way through its 0.2 s the window is still on its way in.
    env.fastForwardBy(0.1);
    double x = window->layer().presentationPosition().x - window->frame().width() / 2;
    EXPECT_LT(x, 0);
    EXPECT_GT(x, -window->frame().width());
    env.fastForwardBy(0.3);
    EXPECT_EQ(window->frame().x(), 0);
    EXPECT_EQ(appWindow->frame().x(), pf::Screen::main().bounds().width());
    ASSERT_TRUE(loaded(*kit));

    ASSERT_TRUE(driver.tapText(MRWebViewKit::kCloseTitle));
    env.fastForwardBy(MRWebViewKit::kCloseDuration + 0.1);
    ASSERT_EQ(recorder->finished.size(), 1u);
    EXPECT_FALSE(recorder->finished[0]);
    EXPECT_FALSE(kit->window());
    EXPECT_FALSE(window->isShown());
    EXPECT_EQ(appWindow->frame().x(), 0);
    EXPECT_TRUE(appWindow->isKeyWindow());

    // Opened again while open, then closed twice during its slide: every window comes back and
    // the close is reported once more.
    recorder->finished.clear();
    kit->open();
    env.fastForwardBy(0.5);
    kit->open();
    env.fastForwardBy(0.5);
    EXPECT_EQ(appWindow->frame().x(), pf::Screen::main().bounds().width());
    kit->doClose();
    env.fastForwardBy(0.1);
    kit->doClose();
    env.fastForwardBy(1);
    EXPECT_EQ(appWindow->frame().x(), 0);
    for (auto& shown : pf::Window::windows())
        EXPECT_EQ(shown->frame().x(), 0);
    EXPECT_TRUE(appWindow->isKeyWindow());
    EXPECT_EQ(recorder->finished.size(), 2u); // the dropped window's page and the last one
}

TEST_F(WebWindowTest, PagesReachOnlyTheFiveCallsOfThePrivateScheme)
{
    auto kit = MRWebViewKit::initWithUrl(root(), std::string("T"), recorder);
    kit->open();
    env.fastForwardBy(0.5);
    ASSERT_TRUE(loaded(*kit));
    recorder->asked.clear();
    auto generation = page(*kit)->pageGeneration();
    struct Case {
        std::string address;
        std::string title;
        bool barHidden;
        std::string rightButton;
    };
    const std::vector<Case> cases {
        { "mrwebviewkit://setNavigationTitle-/A%20B", "A B", false, "" },
        { "MRWebViewKit://open", "A B", false, "" },
        { "mrwebviewkit://loadURL-webTitle-delegate-/http%3A%2F%2Fexample.invalid%2F/X/Y", "A B", false, "" },
        { "mrwebviewkit://setDelegate-/x", "A B", false, "" },
        { "mrwebviewkit://setNavigationBarHidden-animated-/1/0", "A B", true, "" },
        { "mrwebviewkit://setNavigationBarHidden-animated-/0", "A B", false, "" },
        { "mrwebviewkit://setRightNavigationBarButton-bindingJS-/%E5%AE%8C%E6%88%90/document.title%3D'done'/extra", "A B", false, "完成" },
        { "mrwebviewkit://setNavigationTitle-", "", false, "完成" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        page(*kit)->evaluate("location.href = " + pf::Json::write(pf::Value(c.address)));
        env.runUntilIdle();
        EXPECT_EQ(barTitle(*kit), c.title);
        EXPECT_EQ(kit->navigationController()->isNavigationBarHidden(), c.barHidden);
        auto right = kit->webViewController()->navigationItem().rightBarButtonItem();
        EXPECT_EQ(right ? right->title() : "", c.rightButton);
        EXPECT_EQ(page(*kit)->pageGeneration(), generation);
        EXPECT_EQ(kit->requestUrl(), root());
    }
    EXPECT_TRUE(recorder->asked.empty()); // scheme calls never reach the delegate
    // The bound script runs in the page.
    kit->webViewController()->navigationItem().rightBarButtonItem()->handler()();
    EXPECT_EQ(page(*kit)->evaluate("document.title"), "done");

    page(*kit)->evaluate("location.href = 'mrwebviewkit://doClose'");
    env.runUntilIdle();
    env.fastForwardBy(1);
    EXPECT_FALSE(kit->window());
    EXPECT_EQ(recorder->finished.size(), 1u);
}

TEST_F(WebWindowTest, LoadErrorsArriveSortedAndTheLocalPageLoadsFromItsBytes)
{
    auto kit = MRWebViewKit::initWithUrl(root(), std::nullopt, recorder);
    kit->open();
    // A new load cancels the one under way (-999): a content error, never a network error.
    kit->loadURL(MorrowHostConfig::shared().openApiBase() + "oauth2.0/browser_error", std::nullopt, recorder);
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(recorder->contentErrors, std::vector<int> { pf::UrlError::Cancelled });
    EXPECT_TRUE(recorder->networkErrors.empty());
    EXPECT_EQ(kit->webViewController()->webTitle(), std::optional<std::string>("浏览器出错")); // no title given: the document's

    kit->loadURL(MorrowHostConfig::shared().openApiBase() + "oauth2.0/m_broken", std::string(""), recorder);
    ASSERT_TRUE(env.runUntil([&] { return !recorder->networkErrors.empty(); }));
    EXPECT_EQ(recorder->networkErrors.size(), 1u);
    EXPECT_EQ(kit->webViewController()->webTitle(), std::optional<std::string>(""));
    kit->doCloseWithNotAnimation();
    ASSERT_EQ(recorder->finished.size(), 1u);
    ASSERT_TRUE(recorder->finished[0]);
    EXPECT_NE(recorder->finished[0]->code, pf::UrlError::Cancelled);

    std::string folder = env.sandbox().tmpPath() + "/pages";
    ASSERT_TRUE(pf::FileManager::createDirectory(folder, true));
    ASSERT_TRUE(pf::FileManager::writeAtomically(folder + "/local.html", std::string_view("<title>local</title><p>x</p>")));
    for (const std::string& address : { "file://localhost" + folder + "/local.html?a=1", "file://" + folder + "/local.html?a=1" }) {
        SCOPED_TRACE(address);
        auto local = MRWebViewKit::initWithUrl(address, std::nullopt, recorder);
        local->open();
        ASSERT_TRUE(env.runUntil([&] { return page(*local) && page(*local)->title() == "local"; }));
        EXPECT_EQ(page(*local)->url(), root() + "?a=1");
        EXPECT_TRUE(local->navigationController()->isNavigationBarHidden());
        local->doCloseWithNotAnimation();
    }
    EXPECT_FALSE(MRWebViewController::isLocalPageAddress("file://example.invalid" + folder + "/local.html"));
    EXPECT_FALSE(MRWebViewController::isLocalPageAddress(root() + "local.html"));
}

TEST_F(WebWindowTest, TheHolderReusesItsWindow)
{
    MRUiKit holder("100");
    ASSERT_TRUE(holder.popWebViewWnd(root(), std::string("一"), recorder));
    auto kit = holder.webViewKit();
    env.fastForwardBy(0.5);
    ASSERT_TRUE(holder.popWebViewWnd(root(), std::string("二"), recorder));
    EXPECT_EQ(holder.webViewKit(), kit);
    EXPECT_EQ(barTitle(*kit), "二");
    auto controller = holder.getWebViewController(root(), std::string("三"), recorder);
    ASSERT_TRUE(controller);
    EXPECT_NE(holder.webViewKit(), kit);
    EXPECT_FALSE(kit->window());
    EXPECT_FALSE(holder.webViewKit()->window());
    EXPECT_EQ(appWindow->frame().x(), 0);
}

}
