#pragma once

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/MorrowWebLogin.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/analytics/MRA4LCHosts.h"
#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"
#include "sdk/lmconnect/apps/OpenApi.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"
#include "sdk/lmconnect/web/MRLoginViewKit.h"
#include "sdk/lmconnect/web/MRWebViewController.h"
#include "sdk/lmconnect/web/MRWebViewLoadJs.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/HostTable.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Reachability.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "tools/peers/LMOpenApiService.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/apps/LMBrowserApp.h"

#include <gtest/gtest.h>

#include <functional>


// A session for the app "100481327" on a device with the app's window, the vendor-services
// server and no other apps; opened addresses go through the router as the app delegate does.

inline constexpr const char* kAppId = "100481327";
inline constexpr const char* kReplyScheme = "morrow100481327";

struct Recorder : MorrowSessionDelegate {
    std::vector<std::string> calls;
    std::vector<std::pair<std::string, std::shared_ptr<APIResponse>>> answers;
    void sendStoryResponse(const std::shared_ptr<APIResponse>& r) override { answers.emplace_back("sendStoryResponse", r); }
    void responseDidReceived(const std::shared_ptr<APIResponse>& r, const std::string& m) override { answers.emplace_back(m, r); }
    void morrowDidLogin() override { calls.push_back("login"); }
    void morrowDidNotLogin(bool cancelled) override { calls.push_back(cancelled ? "cancelled" : "failed"); }
    void morrowDidNotNetWork() override { calls.push_back("no network"); }
};

struct AppDelegate : pf::ApplicationDelegate {
    bool openURL(pf::Application&, const pf::Url& url, const std::string& source) override
    {
        return MorrowOpenURLRouter::route(url, source);
    }
};

class WebSessionTest : public testing::Test {
protected:
    WebSessionTest()
    {
        pf::UIEnvironment::reset();
        peers::addAllVendorServices(server);
        EXPECT_TRUE(server.start());
        pf::HostTable::pointAllAt(server.rootURL());
        pf::Pasteboard::resetAll();
        pf::AppRegistry::shared().removeAll();
        pf::Application::shared().reset();
        pf::Application::shared().setDelegate(appDelegate);
        pf::Bundle::main()->setInfoValue("CFBundleURLTypes", pf::Array { pf::Dictionary { { "CFBundleURLSchemes", pf::Array { kReplyScheme } } } });
        appWindow = std::make_shared<pf::Window>(pf::Screen::main().bounds());
        appWindow->setRootViewController(std::make_shared<pf::ViewController>());
        appWindow->makeKeyAndVisible();
        session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, recorder);
    }
    ~WebSessionTest() override
    {
        session.reset();
        MROSDKJSBridge::deinit();
        pf::Reachability::setOverride(std::nullopt);
        pf::AppRegistry::shared().removeAll();
        pf::Application::shared().reset();
        pf::UIEnvironment::reset();
    }

    std::shared_ptr<MRLoginViewKit> kit() const { return session->webLogin()->loginViewKit(); }
    std::shared_ptr<pf::WebView> page() const
    {
        auto k = kit();
        return k && k->webViewController() ? k->webViewController()->webview() : nullptr;
    }
    // Starts a sign-in and waits for the sign-in page.
    bool openSignInPage()
    {
        recorder->calls.clear();
        EXPECT_TRUE(session->authorizeInSafari({ "get_user_info", "add_share" }, false));
        env.fastForwardBy(0.5);
        return env.runUntil([&] { return page() && page()->title() == "LM 登录" && !page()->isLoading(); });
    }
    // Waits for `done` while the window's animations run on.
    bool passTimeUntil(const std::function<bool()>& done)
    {
        return env.runUntil([&] {
            env.fastForwardBy(0.1);
            return done();
        });
    }
    // Lets the window's slide end and any reply arrive.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            env.fastForwardBy(0.5);
            env.waitForPendingWork();
        }
    }
    int authorizePageLoads() const
    {
        int count = 0;
        for (const auto& request : server.requests())
            count += request.path == "/lmopenapi/oauth2.0/m_authorize";
        return count;
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    pf::Driver driver;
    std::shared_ptr<AppDelegate> appDelegate = std::make_shared<AppDelegate>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<pf::Window> appWindow;
    std::shared_ptr<MorrowOAuth> session;
};

