#include "tests/sdk/lmconnect/web/WebSessionFixture.h"

#include "sdk/lmconnect/openapi/MorrowRequest.h"

#include "platform/foundation/NotificationCenter.h"

namespace {

using WebSignInTest = WebSessionTest;

TEST_F(WebSignInTest, EachWayOutOfTheSignInPageEndsItOnce)
{
    const std::string token = peers::LMOpenApiService::webTokenFor(kAppId);
    // An open id lookup answered with more than it reads fails as a refused one does, never
    // read whole, though an open id leads the reply.
    const peers::PeerReply oversized = peers::PeerReply::bytes(
        "callback( {\"openid\":\"OID-BIG\",\"pad\":\"" + std::string(MorrowRequest::kMaximumReplySize, 'p') + "\"} );", "text/plain");
    struct Case {
        std::string button;
        std::vector<std::string> calls;
        bool signedIn;
        std::optional<peers::PeerReply> openIdReply {};
    };
    const std::vector<Case> cases {
        { "同意", { "login" }, true },
        { "同意（不带身份）", { "login" }, true },
        { "取消", { "cancelled" }, false },
        { "拒绝", { "cancelled" }, false },
        { "出错", { "failed" }, false },
        { "同意（不带身份）", { "failed" }, false, oversized },
        { "同意", { "login" }, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button + (c.openIdReply ? ", the open id's reply too long" : ""));
        server.clearFaults();
        if (c.openIdReply)
            server.setFault("*", "/lmopenapi/oauth2.0/m_me", *c.openIdReply);
        session->logout(recorder);
        ASSERT_TRUE(openSignInPage());
        EXPECT_TRUE(session->webLogin()->isWatchingNetwork());
        EXPECT_EQ(appWindow->frame().x(), pf::Screen::main().bounds().width());
        ASSERT_TRUE(driver.pressPageButton(c.button));
        ASSERT_TRUE(passTimeUntil([&] { return !recorder->calls.empty(); }));
        settle();
        EXPECT_EQ(recorder->calls, c.calls);
        EXPECT_FALSE(kit()->window());
        EXPECT_EQ(appWindow->frame().x(), 0);
        EXPECT_FALSE(session->webLogin()->isWatchingNetwork());
        EXPECT_TRUE(session->webLogin()->waitingSerials().empty());
        if (c.signedIn) {
            EXPECT_EQ(session->accessToken(), token);
            EXPECT_EQ(session->openId(), peers::LMOpenApiService::openIdForToken(token));
            ASSERT_TRUE(session->expirationDate());
            EXPECT_NEAR(*session->expirationDate() - env.now(), peers::LMOpenApiService::kWebLifetime, 5);
            // The scripts were told as well.
            EXPECT_EQ(session->scriptHost()->evaluateJavascript("morrow.oauth.openId"), session->openId());
        } else if (c.openIdReply) {
            EXPECT_EQ(session->openId(), "") << "the open id was read from a reply past the limit";
        } else {
            EXPECT_FALSE(session->isSessionValid());
        }
    }
    // A permission added later opens the page with the current token.
    ASSERT_TRUE(session->incrAuthWithPermissions({ "add_topic" }));
    env.fastForwardBy(0.5);
    ASSERT_TRUE(env.runUntil([&] { return page() && page()->title() == "LM 登录" && !page()->isLoading(); }));
    EXPECT_NE(kit()->startAddress().find("isadd=1"), std::string::npos);
    EXPECT_NE(kit()->startAddress().find("access_token=" + token), std::string::npos);
    EXPECT_NE(kit()->startAddress().find("scope=add_topic"), std::string::npos);
    ASSERT_TRUE(driver.pressPageButton("取消"));
    env.runUntilIdle();
    settle();

    // The page was asked for with the sign-in's parameters.
    auto address = kit()->startAddress();
    for (const char* part : { "response_type=token", "client_id=100481327", "redirect_uri=auth%3A%2F%2Fwww.morrow.lm%2Foauth2.0%2Flogin_jump",
             "scope=add_topic", "sdkv=" })
        EXPECT_NE(address.find(part), std::string::npos) << part;
}

TEST_F(WebSignInTest, PageLoopsConfigurationAndNetworkStopTheRoute)
{
    // The 21st counted load is allowed, the next one refused.
    ASSERT_TRUE(openSignInPage());
    for (int reload = 1; reload <= 21; ++reload) {
        ASSERT_TRUE(driver.pressPageButton("刷新"));
        env.runUntilIdle();
        env.waitForPendingWork();
        ASSERT_TRUE(env.runUntil([&] { return page() && !page()->isLoading(); }));
        EXPECT_EQ(authorizePageLoads(), std::min(reload + 1, 21)) << reload;
    }
    EXPECT_EQ(kit()->loginCount(), 0u);
    kit()->doCloseWithNotAnimation();
    settle();
    recorder->calls.clear();

    // The reply scheme missing from the app's URL types: the configuration alert, no window.
    pf::Bundle::main()->setInfoValue("CFBundleURLTypes", pf::Array {});
    session->authorizeInSafari({ "get_user_info" }, false);
    env.runUntilIdle();
    auto alert = pf::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), MorrowWebLogin::kConfigErrorTitle);
    EXPECT_EQ(alert->message(), MorrowWebLogin::kConfigErrorMessage);
    EXPECT_FALSE(kit()->window());
    ASSERT_TRUE(driver.tapAlertButton(MorrowWebLogin::kAlertButton));
    env.fastForwardBy(1);
    pf::Bundle::main()->setInfoValue("CFBundleURLTypes", pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { kReplyScheme } } } });

    // No network at the start: reported once, nothing opens.
    pf::Reachability::setOverride(pf::Reachability::Status::NotReachable);
    env.runUntilIdle();
    session->authorizeInSafari({ "get_user_info" }, false);
    env.runUntilIdle();
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "no network" });
    EXPECT_FALSE(kit()->window());

    // Lost during a sign-in: one alert per loss, however long it lasts.
    pf::Reachability::setOverride(std::nullopt);
    ASSERT_TRUE(openSignInPage());
    auto alertsShown = [] {
        auto shown = pf::AlertView::pendingAlerts();
        return std::count_if(shown.begin(), shown.end(), [](auto& a) { return a->title() == MorrowWebLogin::kNetworkErrorTitle; });
    };
    pf::Reachability::setOverride(pf::Reachability::Status::NotReachable);
    env.fastForwardBy(5);
    EXPECT_EQ(alertsShown(), 1);
    pf::Reachability::setOverride(pf::Reachability::Status::ViaWiFi);
    env.fastForwardBy(1);
    pf::Reachability::setOverride(pf::Reachability::Status::NotReachable);
    env.fastForwardBy(5);
    EXPECT_EQ(alertsShown(), 2);
}

TEST_F(WebSignInTest, BrowserRepliesAreCheckedBeforeAnythingRuns)
{
    using peers::LMBrowserApp;
    const double thirtyDays = OpenApi::kDefaultLifetime;
    struct Case {
        std::string name;
        bool newBrowser;
        bool oldBrowser;
        LMBrowserApp::Answer answer;
        pf::Dictionary fields;
        std::vector<std::string> calls;
        std::optional<double> lifetime; // expiry minus now; the distant future as a date
        int alerts;                     // texts the page's alert() was given
    };
    const std::vector<Case> cases {
        { "new browser only, both installed", true, true, LMBrowserApp::Answer::Token, { { "expires_in", "3600" } }, { "login" }, 3600, 0 },
        { "old browser", false, true, LMBrowserApp::Answer::Token, { { "expires_in", "3600" } }, { "login" }, 3600, 0 },
        { "no lifetime", true, false, LMBrowserApp::Answer::Token, {}, { "login" }, thirtyDays, 0 },
        { "zero lifetime", true, false, LMBrowserApp::Answer::Token, { { "expires_in", "0" } }, { "login" }, OpenApi::kDistantFuture, 0 },
        { "negative lifetime", true, false, LMBrowserApp::Answer::Token, { { "expires_in", "-1" } }, { "failed" }, std::nullopt, 0 },
        { "lifetime no number", true, false, LMBrowserApp::Answer::Token, { { "expires_in", "x" } }, { "failed" }, std::nullopt, 0 },
        { "denied", true, false, LMBrowserApp::Answer::Fields, { { "error", "access_denied" } }, { "cancelled" }, std::nullopt, 0 },
        { "error code", true, false, LMBrowserApp::Answer::Fields, { { "error", "access_denied" }, { "error_code", "100" } }, { "failed" }, std::nullopt, 0 },
        { "script name", true, false, LMBrowserApp::Answer::Token, { { "cb", "alert" } }, { "login" }, thirtyDays, 1 },
        { "script text", true, false, LMBrowserApp::Answer::Token, { { "cb", "x);alert(1" } }, { "login" }, thirtyDays, 0 },
        { "unknown serial", true, false, LMBrowserApp::Answer::Token, { { "serial", "999999" }, { "cb", "alert" } }, {}, std::nullopt, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        session->logout(recorder);
        pf::AppRegistry::shared().removeAll();
        std::shared_ptr<LMBrowserApp> fresh, old;
        if (c.newBrowser)
            fresh = LMBrowserApp::install(LMBrowserApp::Kind::New);
        if (c.oldBrowser)
            old = LMBrowserApp::install(LMBrowserApp::Kind::Old);
        auto answering = fresh ? fresh : old;
        answering->setAnswer(c.answer, "BTOKEN", c.fields);
        ASSERT_TRUE(openSignInPage());
        auto shownPage = page();
        ASSERT_TRUE(driver.pressPageButton("浏览器登录"));
        env.runUntilIdle();
        settle();
        EXPECT_EQ(recorder->calls, c.calls);
        ASSERT_EQ(answering->received().size(), 1u);
        if (fresh && old) {
            EXPECT_TRUE(old->received().empty());
        }
        EXPECT_EQ(shownPage->alerts().size(), size_t(c.alerts));
        if (c.calls == std::vector<std::string> { "login" }) {
            EXPECT_EQ(session->accessToken(), "BTOKEN");
            EXPECT_EQ(session->openId(), "OPENID-BTOKEN");
            ASSERT_TRUE(session->expirationDate());
            double lifetime = *session->expirationDate() - (*c.lifetime == OpenApi::kDistantFuture ? 0 : env.now());
            EXPECT_NEAR(lifetime, *c.lifetime, 5);
            EXPECT_FALSE(kit()->window());
        }
        if (c.calls.empty()) {
            // Nothing was acted on: the page stays and its key still waits.
            EXPECT_TRUE(kit()->window());
            EXPECT_EQ(kit()->waitingSerials().size(), 1u);
            EXPECT_FALSE(session->webLogin()->handleOpenURL(*pf::Url::fromString(*answering->lastReply())));
            // Nor is a reply of the right serial that is far too long.
            std::string serial = kit()->waitingSerials()[0];
            auto huge = pf::Url::fromString(kit()->getOwnBaseUrl() + "#serial=" + serial + "&access_token=00&pad=" + std::string(20000, 'x'));
            ASSERT_TRUE(huge);
            EXPECT_FALSE(session->webLogin()->handleOpenURL(*huge));
            EXPECT_EQ(kit()->waitingSerials(), std::vector<std::string> { serial });
            kit()->doCloseWithNotAnimation();
            settle();
        }
        EXPECT_EQ(appWindow->frame().x(), 0);
    }

    // No LM browser: the system browser takes the page and the window waits for its reply.
    session->logout(recorder);
    pf::AppRegistry::shared().removeAll();
    ASSERT_TRUE(openSignInPage());
    ASSERT_TRUE(driver.pressPageButton("浏览器登录"));
    env.runUntilIdle();
    auto opened = pf::AppRegistry::shared().openedURLs();
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.back().url.rfind(MorrowHostConfig::shared().openApiBase() + MRLoginViewKit::kAuthorizePath, 0), 0u);
    EXPECT_TRUE(kit()->isUseSafari());
    EXPECT_TRUE(kit()->window());

    // Nothing can open it: the page comes back with "browser_error".
    kit()->doCloseWithNotAnimation();
    settle();
    pf::AppRegistry::shared().setForcedOpenResult(false);
    ASSERT_TRUE(openSignInPage());
    int loads = authorizePageLoads();
    ASSERT_TRUE(driver.pressPageButton("浏览器登录"));
    env.runUntilIdle();
    ASSERT_TRUE(env.runUntil([&] { return authorizePageLoads() == loads + 1 && page() && !page()->isLoading(); }));
    EXPECT_NE(kit()->startAddress().find("browser_error=1"), std::string::npos);
    EXPECT_EQ(page()->title(), "LM 登录");
    EXPECT_TRUE(recorder->calls.empty());
    pf::AppRegistry::shared().setForcedOpenResult(std::nullopt);
}

TEST_F(WebSignInTest, ThePageRedirectsLifetimeMustBeANumber)
{
    const std::pair<std::string, bool> cases[] = { { "x", false }, { "", false }, { "-1", false }, { "7200", true } };
    for (const auto& [expiresIn, signsIn] : cases) {
        SCOPED_TRACE(expiresIn);
        session->logout(recorder);
        ASSERT_TRUE(openSignInPage());
        page()->evaluate("location.href = 'auth://www.morrow.lm/oauth2.0/login_jump#access_token=PT&openid=PO&expires_in=" + expiresIn + "'");
        ASSERT_TRUE(passTimeUntil([&] { return !recorder->calls.empty(); }));
        settle();
        EXPECT_EQ(recorder->calls, std::vector<std::string> { signsIn ? "login" : "failed" });
        EXPECT_EQ(session->isSessionValid(), signsIn);
        if (signsIn) {
            EXPECT_NEAR(*session->expirationDate() - env.now(), 7200, 5);
        }
    }
}

TEST_F(WebSignInTest, TheAppReplyCheckAsksTheSignInWindowToo)
{
    const std::string scheme = kReplyScheme;
    const std::tuple<std::string, bool, bool> cases[] = { // address, taken before any window, taken with the sign-in window
        { scheme + "://lmauth/?serial=12&access_token=00", false, true },
        { scheme + "://www.morrow.lm/oauth2.0/login_jump#serial=12", false, true },
        { scheme + "://lzapp/x/0?generalpastboard=1", true, true },
        { scheme + "://other/x", false, false },
        { "morrow999://lmauth/?serial=12", false, false },
        { "https://www.morrow.lm/", false, false },
    };
    for (const auto& [url, beforeAnyWindow, withWindow] : cases)
        EXPECT_EQ(MorrowOAuth::CanHandleOpenURL(*pf::Url::fromString(url)), beforeAnyWindow) << url;
    ASSERT_TRUE(openSignInPage());
    for (const auto& [url, beforeAnyWindow, withWindow] : cases)
        EXPECT_EQ(MorrowOAuth::CanHandleOpenURL(*pf::Url::fromString(url)), withWindow) << url;
    // LZone still hands over only its own replies: a browser's answer from it is refused.
    EXPECT_FALSE(MorrowOpenURLRouter::route(*pf::Url::fromString(std::get<0>(cases[0])), MorrowOpenURLRouter::kLZoneBundleIdentifier));
    EXPECT_TRUE(kit()->window());
    EXPECT_TRUE(recorder->calls.empty());
}

TEST_F(WebSignInTest, TheBrowserRouteSignsInOnTheAppsOwnSchemeWithTheSessionsRedirect)
{
    session->setRedirectURI("https://www.morrow.lm/safari_jump");
    struct Case {
        const char* name;
        std::function<bool()> start;
        std::vector<std::string> addressParts;
    };
    const std::vector<Case> cases {
        { "without extras", [&] { return session->authorizeWithMorrowAppAuthInSafariPermissionsDelegate(kAppId, { "get_user_info" }, recorder); },
            { "client_id=100481327", "redirect_uri=auth%3A%2F%2Fwww.morrow.lm%2Fsafari_jump", "scope=get_user_info" } },
        { "with extras",
            [&] {
                return session->authorizeWithMorrowAppAuthInSafariPermissionsAndExtraParamsDelegate(kAppId, { "add_share" },
                    pf::Dictionary { { "isadd", "1" }, { "access_token", "T0" } }, recorder);
            },
            { "isadd=1", "access_token=T0", "scope=add_share" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->calls.clear();
        EXPECT_TRUE(c.start());
        env.fastForwardBy(0.5);
        ASSERT_TRUE(env.runUntil([&] { return page() && page()->title() == "LM 登录" && !page()->isLoading(); }));
        for (const auto& part : c.addressParts)
            EXPECT_NE(kit()->startAddress().find(part), std::string::npos) << part;
        ASSERT_TRUE(driver.pressPageButton("取消"));
        ASSERT_TRUE(passTimeUntil([&] { return !recorder->calls.empty(); }));
        settle();
        EXPECT_EQ(recorder->calls, std::vector<std::string> { "cancelled" }) << "the given delegate hears the result";
    }
    // Another app's scheme is not among the URL types: refused with the configuration alert.
    EXPECT_FALSE(session->authorizeWithMorrowAppAuthInSafariPermissionsDelegate("555", { "get_user_info" }, recorder));
    env.fastForwardBy(0.5);
    auto alert = pf::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), MorrowWebLogin::kConfigErrorTitle);
    EXPECT_FALSE(kit() && kit()->window());
}

TEST_F(WebSignInTest, AKitOpensWithItsFourValuesAndReportsToItsDelegate)
{
    struct Sink : MRLoginViewDelegate {
        std::vector<std::string> heard;
        void loginViewKitDidSucceedLogin(MRLoginViewKit&, const std::string&) override { heard.push_back("success"); }
        void loginViewKitDidFailuredWithError(MRLoginViewKit&, const std::optional<pf::UrlError>& error, const std::string&) override
        {
            heard.push_back(error ? "error" : "cancel");
        }
    };
    auto sink = std::make_shared<Sink>();
    auto own = MRLoginViewKit::create();
    EXPECT_FALSE(own->openWithAppIdRedirectURIPermissionsLoginDelegate("", std::nullopt, { "get_user_info" }, sink)) << "no app id";
    EXPECT_FALSE(own->window());
    ASSERT_TRUE(own->openWithAppIdRedirectURIPermissionsLoginDelegate(kAppId, std::string("https://www.morrow.lm/kit_jump"),
        { "get_user_info", "add_share" }, sink));
    for (const char* part : { "client_id=100481327", "redirect_uri=auth%3A%2F%2Fwww.morrow.lm%2Fkit_jump", "scope=get_user_info%2Cadd_share" })
        EXPECT_NE(own->startAddress().find(part), std::string::npos) << part;
    env.fastForwardBy(0.5);
    auto shown = [&] { return own->webViewController() ? own->webViewController()->webview() : nullptr; };
    ASSERT_TRUE(env.runUntil([&] { return shown() && shown()->title() == "LM 登录" && !shown()->isLoading(); }));
    ASSERT_TRUE(driver.pressPageButton("取消"));
    ASSERT_TRUE(passTimeUntil([&] { return !sink->heard.empty(); }));
    settle();
    EXPECT_EQ(sink->heard, std::vector<std::string> { "cancel" });
    EXPECT_FALSE(own->window());
}

TEST_F(WebSignInTest, ANetworkWatchTheSystemRefusesNeitherStaysNorStopsTheSignIn)
{
    auto& centre = pf::NotificationCenter::defaultCenter();
    size_t observers = centre.observerCount(pf::Reachability::kChangedNotification);
    pf::Reachability::setNotifiersAvailable(false);
    ASSERT_TRUE(openSignInPage());
    EXPECT_TRUE(recorder->calls.empty()) << "the network is up";
    EXPECT_FALSE(session->webLogin()->isWatchingNetwork());
    EXPECT_EQ(centre.observerCount(pf::Reachability::kChangedNotification), observers);
    ASSERT_TRUE(driver.pressPageButton("同意"));
    ASSERT_TRUE(passTimeUntil([&] { return !recorder->calls.empty(); }));
    settle();
    EXPECT_EQ(recorder->calls, std::vector<std::string> { "login" });
}

TEST_F(WebSignInTest, TheSessionKeyReachesTheVendorPageAsText)
{
    session->setOpenId(std::string("OID"));
    const std::string key = "k');localStorage['x']=('1\"\\";
    session->setEncryToken(key);
    auto view = MRWebViewLoadJs::getInstance()->webView();
    ASSERT_TRUE(view);
    ASSERT_TRUE(env.runUntil([&] { return !view->isLoading() && view->title() == "LM"; }));
    env.runUntilIdle();
    EXPECT_EQ(view->evaluate("decodeURIComponent(localStorage['OID_" + std::string(kAppId) + "'])"), key);
    EXPECT_EQ(view->evaluate("String(localStorage['x'])"), "undefined");
    EXPECT_FALSE(view->superview());
}

}
