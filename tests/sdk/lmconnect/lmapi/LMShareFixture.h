#pragma once

#include "sdk/lmconnect/host/MROSDKJSBridge.h"
#include "sdk/lmconnect/MorrowOAuth.h"
#include "sdk/lmconnect/apps/MorrowOpenURLRouter.h"
#include "sdk/lmconnect/lmapi/LMApiInterface.h"
#include "sdk/lmconnect/lmapi/LMApiNewsObject.h"
#include "sdk/lmconnect/lmapi/SendMessageToLMReq.h"
#include "sdk/lmconnect/openapi/MorrowHostConfig.h"

#include "platform/foundation/AppRegistry.h"
#include "platform/foundation/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/Url.h"
#include "platform/graphics/Image.h"
#include "platform/testing/TaskEnvironment.h"
#include "tools/peers/PeersServer.h"
#include "tools/peers/apps/LMApp.h"
#include "tests/sdk/lmconnect/support/VendorDevice.h"

#include <gtest/gtest.h>

// The LM Connect id of the app in these tests and its LM scheme.
constexpr const char* kAppId = "100481327";
constexpr const char* kLMScheme = "LM05FD392F";

// Records the session's events; a sign-in sends the kept share, as the app's sharing manager
// does.
struct SharingDelegate : MorrowSessionDelegate {
    std::vector<std::string> calls;
    std::shared_ptr<LMBaseReq> keptShare;
    std::vector<LMApiSendResultCode> results;
    void morrowDidLogin() override
    {
        calls.push_back("login");
        if (keptShare)
            results.push_back(LMApiInterface::sendReq(keptShare));
    }
    void morrowDidNotLogin(bool cancelled) override { calls.push_back(cancelled ? "cancelled" : "failed"); }
};

struct RoutingAppDelegate : pf::ApplicationDelegate {
    bool openURL(pf::Application&, const pf::Url& url, const std::string& source) override { return MorrowOpenURLRouter::route(url, source); }
};

// A fresh device with the vendor-services server, a LM Connect session running the project's
// scripts, and no LM app until a test installs one.
class LMShareTest : public testing::Test {
protected:
    LMShareTest()
    {
        prepareVendorDevice(server, appDelegate, "morrow100481327");
        auto bundle = pf::Bundle::main();
        bundle->setInfoValue("CFBundleIconFiles", pf::Array { "icon_not_login.png", "home.png", "back.png" });
        session = MorrowOAuth::initWithAppIdAndDelegate(kAppId, delegate);
    }
    ~LMShareTest() override
    {
        session.reset();
        MROSDKJSBridge::deinit();
        pf::AppRegistry::shared().removeAll();
        pf::Application::shared().reset();
    }

    static pf::Bytes jpeg(int width = 8, int height = 6)
    {
        pf::Image image(width, height);
        return image.jpegData(0.9);
    }
    static std::shared_ptr<SendMessageToLMReq> newsShare(std::string title = "礼包码", pf::Bytes preview = jpeg())
    {
        return SendMessageToLMReq::reqWithContent(
            LMApiNewsObject::objectWithURL("http://gifts.example/g/17", std::move(title), "领取你的礼包", std::move(preview)));
    }

    pf::TaskEnvironment env;
    peers::PeersServer server;
    std::shared_ptr<RoutingAppDelegate> appDelegate = std::make_shared<RoutingAppDelegate>();
    std::shared_ptr<SharingDelegate> delegate = std::make_shared<SharingDelegate>();
    std::shared_ptr<MorrowOAuth> session;
};
