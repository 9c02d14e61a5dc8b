#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/host/MorrowWebViewHost.h"
#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/apps/LMApp.h"
#include "tests/sdk/lmconnect/support/VendorDevice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>

namespace {

constexpr const char* kAppId = "100481327";
constexpr const char* kReplyScheme = "morrow100481327";

// Made before main, so destroyed after every function-local static the session creates: the
// order in which an app's long-lived owner of a session goes at process exit.
std::shared_ptr<MorrowOAuth> g_keptUntilExit;

struct Recorder : MorrowSessionDelegate {
    std::vector<std::string> calls;
    std::function<void()> onLogin;
    void morrowDidLogin() override
    {
        calls.push_back("login");
        if (onLogin)
            onLogin();
    }
    void morrowDidNotLogin(bool cancelled) override { calls.push_back(cancelled ? "cancelled" : "failed"); }
};

// Opened addresses go through the router, or to `handler` when one is set.
struct AppDelegate : pf::ApplicationDelegate {
    std::function<bool(const pf::Url&)> handler;
    bool openURL(pf::Application&, const pf::Url& url, const std::string& source) override
    {
        return handler ? handler(url) : MorrowOpenURLRouter::route(url, source);
    }
};

// A device with the vendor's services, the LM stand-in and a session for the app.
struct World {
    World()
    {
        prepareVendorDevice(server, appDelegate, kReplyScheme);
        session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, recorder);
        lm = peers::LMApp::install(3);
        lm->setAnswer(peers::LMApp::Answer::Token, pf::Dictionary { { "access_token", "TOK" }, { "openid", "OID" } });
    }
    ~World()
    {
        session.reset();
        MROSDKJSBridge::deinit();
        pf::AppRegistry::shared().removeAll();
        pf::Application::shared().reset();
    }
    std::string run(const std::string& script) { return session->scriptHost()->evaluateJavascript(script); }
    // Signs in through the LM stand-in; true when the delegate heard the result.
    bool signIn()
    {
        recorder->calls.clear();
        EXPECT_TRUE(session->authorizeInSafari({ "get_user_info" }, false));
        return env.runUntil([&] { return !recorder->calls.empty(); });
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<AppDelegate> appDelegate = std::make_shared<AppDelegate>();
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::shared_ptr<MorrowOAuth> session;
    std::shared_ptr<peers::LMApp> lm;
};

}

TEST(SessionTeardown, ASignedInSessionGoesAfterTheProcessWideStatesAtExit)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child fails (the sanitizer's exit code) when a destructor run after main reaches
    // state that is already gone.
    EXPECT_EXIT(
        {
            {
                World world;
                if (!world.signIn() || world.recorder->calls != std::vector<std::string> { "login" })
                    std::_Exit(3);
                if (world.run("morrow.oauth.openId") != "OID")
                    std::_Exit(4);
                g_keptUntilExit = world.session;
                world.session.reset(); // the shared host stays too, as in a running app
                world.recorder.reset();
                world.env.waitForPendingWork();
            }
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(SessionTeardown, DestroyedWhileItsLookupIsInFlightOrFromInsideAScriptCall)
{
    // The open-id lookup is held at the server while the session and the shared host go.
    {
        World world;
        world.server.setFault("*", "/lmopenapi/oauth2.0/m_me", [] {
            peers::PeerReply reply = peers::PeerReply::json("{\"openid\":\"late\"}");
            reply.hold = true;
            return reply;
        }());
        world.session->morrowDialogLogin("TOK", world.env.now() + 3600);
        ASSERT_TRUE(world.env.runUntil([&] { return !world.server.requests("/lmopenapi/oauth2.0/m_me").empty(); }));
        world.session.reset();
        MROSDKJSBridge::deinit();
        world.server.releaseHeld();
        ASSERT_TRUE(world.env.waitForPendingWork());
        EXPECT_TRUE(world.recorder->calls.empty()) << "a gone session reports nothing";
    }
    // The delegate drops the session and the shared host while the scripts relay the login.
    {
        World world;
        std::weak_ptr<MorrowOAuth> watched = world.session;
        world.recorder->onLogin = [&] {
            world.session.reset();
            MROSDKJSBridge::deinit();
        };
        ASSERT_TRUE(world.signIn());
        ASSERT_TRUE(world.env.waitForPendingWork());
        EXPECT_EQ(world.recorder->calls, std::vector<std::string> { "login" });
        EXPECT_TRUE(watched.expired());
    }
    // The reply goes through the scripts, which call back into the session; the delegate drops
    // the session and the shared host while that call is still under way.
    {
        World world;
        std::weak_ptr<MorrowOAuth> watched = world.session;
        std::optional<bool> taken;
        world.appDelegate->handler = [&](const pf::Url& url) {
            auto host = world.session->scriptHost();
            const std::string params = pf::Json::write(pf::Value(pf::Dictionary { { "urlStr", MorrowOAuth::urlencode(url.absoluteString()) } }));
            taken = host->evaluateJavascript("oauth.jsCallHandleOpenUrlByOpenApi(" + pf::Json::write(pf::Value(params)) + ")") == "YES";
            return *taken;
        };
        world.recorder->onLogin = [&] {
            world.session.reset();
            MROSDKJSBridge::deinit();
        };
        ASSERT_TRUE(world.signIn());
        ASSERT_TRUE(world.env.waitForPendingWork());
        EXPECT_EQ(world.recorder->calls, std::vector<std::string> { "login" });
        EXPECT_EQ(taken, std::optional<bool>(true));
        EXPECT_TRUE(watched.expired());
    }
}
