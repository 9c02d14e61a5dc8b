#include "BlipTestSupport.h"

#include "platform/foundation/CookieStorage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/BitmapContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Screen.h"
#include "platform/web/WebView.h"
#include "sdk/libBlipSDK/BPAuthorizeRequest.h"
#include "sdk/libBlipSDK/BPAuthorizeWebView.h"
#include "tools/peers/BlipService.h"
#include "tools/peers/PeersServer.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace blip;
using namespace blip::test;

namespace {

struct WebWorld : BlipWorld {
    WebWorld()
    {
        blip = std::make_shared<peers::BlipService>();
        server.addService(blip);
        EXPECT_TRUE(server.start());
        BlipSDK::hosts().setAddress(BlipSDK::kWebAuthorizeHost, "http://localhost:" + std::to_string(server.port()) + "/blip");
        EXPECT_TRUE(BlipSDK::registerApp(kAppKey));
    }

    // Sends an authorisation and lets the pop-in end and the page load (or fail).
    std::shared_ptr<BPAuthorizeWebView> open()
    {
        auto request = BPAuthorizeRequest::request();
        request->redirectURI = redirect;
        request->scope = "all";
        EXPECT_TRUE(BlipSDK::sendRequest(request));
        auto dialog = findDialog(window);
        if (!dialog)
            return nullptr;
        env.fastForwardBy(0.49);
        EXPECT_EQ(dialog->loadedAddress(), "");
        env.fastForwardBy(0.02);
        EXPECT_NE(dialog->loadedAddress(), "");
        EXPECT_TRUE(env.runUntil([&] { return !dialog->webView()->isLoading(); }));
        return dialog;
    }

    // Follows a link of the page and lets the navigation be asked about.
    void tapLink(const std::shared_ptr<BPAuthorizeWebView>& dialog, const std::string& text)
    {
        EXPECT_TRUE(dialog->webView()->activateLink(text)) << text;
        env.runUntilIdle();
    }

    peers::PeersServer server;
    std::shared_ptr<peers::BlipService> blip;
    std::string redirect { "http://localhost/blip/callback" };
};

TEST(BlipWebAuthorize, ThePageGrantsOrRefusesOnlyThroughTheRedirectAddress)
{
    WebWorld world;
    for (auto [name, value, domain] : { std::tuple { "portal", "keep", "127.0.0.1" }, { "blip_session", "old", "localhost" } }) {
        pf::HttpCookie cookie;
        cookie.name = name;
        cookie.value = value;
        cookie.domain = domain;
        pf::CookieStorage::shared().setCookie(cookie);
    }
    auto dialog = world.open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->webView()->title(), "授权");
    // The earlier sign-in is gone, the portal's cookie stays, and the page set its own.
    auto cookies = pf::CookieStorage::shared().cookies();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].name, "portal");
    EXPECT_EQ(cookies[1].value, "s1");
    auto call = world.blip->calls().back();
    EXPECT_EQ(call.query, (std::map<std::string, std::string> { { "response_type", "code" }, { "display", "mobile" },
                              { "client_id", kAppKey }, { "redirect_uri", world.redirect }, { "scope", "all" },
                              { "packagename", "com.quorvane.gifts" }, { "key_hash", peers::BlipService::kHashKey } }));
    EXPECT_EQ(call.cookie, "");

    struct Step {
        std::string address;
        bool loads;
    };
    const Step steps[] = {
        { "http://localhost:" + std::to_string(world.server.port()) + "/blip/other", true },
        { "https://elsewhere.test/cb#access_token=stolen&expires_in=1&uid=6", true }, // not ours: loads on
        { "http://localhost/blip/callbackx#access_token=stolen&expires_in=1", true },
        { world.redirect + "#error=only", true },
    };
    for (const Step& s : steps)
        EXPECT_EQ(dialog->shouldStartLoadWithRequest(s.address), s.loads) << s.address;
    EXPECT_TRUE(findDialog(world.window));
    world.tapLink(dialog, "允许");
    EXPECT_FALSE(findDialog(world.window));
    EXPECT_EQ(pf::CookieStorage::shared().cookies().size(), 1u);
    ASSERT_EQ(world.delegate->responses.size(), 1u);
    auto granted = std::dynamic_pointer_cast<BPAuthorizeResponse>(world.delegate->responses[0]);
    ASSERT_TRUE(granted);
    EXPECT_EQ(granted->statusCode, 0);
    EXPECT_EQ(granted->userID, "1900001234");
    EXPECT_EQ(granted->accessToken, "2.00blipwebtoken");
    EXPECT_DOUBLE_EQ(granted->expirationDate->secondsSince1970(), world.env.now() + 3600);
    EXPECT_EQ(*granted->userInfo, (pf::Dictionary { { "access_token", "2.00blipwebtoken" }, { "expires_in", "3600" },
                                     { "remind_in", "3600" }, { "uid", "1900001234" } }));
    EXPECT_EQ(granted->requestID, dialog->authorizeRequest()->requestID);

    // Refused: -3 with the error pairs; the pairs may come in the query as well.
    dialog = world.open();
    ASSERT_TRUE(dialog);
    world.tapLink(dialog, "拒绝");
    auto viaQuery = world.open();
    ASSERT_TRUE(viaQuery);
    EXPECT_FALSE(viaQuery->shouldStartLoadWithRequest(world.redirect + "?uid=5&access_token=q&expires_in=abc"));
    world.env.runUntilIdle();
    ASSERT_EQ(world.delegate->responses.size(), 3u);
    EXPECT_EQ(world.delegate->responses[1]->statusCode, -3);
    EXPECT_EQ(pf::Value(*world.delegate->responses[1]->userInfo)["error_code"], pf::Value("21330"));
    auto fromQuery = std::dynamic_pointer_cast<BPAuthorizeResponse>(world.delegate->responses[2]);
    EXPECT_EQ(fromQuery->statusCode, 0);
    EXPECT_EQ(fromQuery->accessToken, "q");
    EXPECT_DOUBLE_EQ(fromQuery->expirationDate->secondsSince1970(), world.env.now()); // no number: no time
}

// A grant whose token cannot be handed to the app (one holding a NUL) ends the sign-in as a
// failed one: the page closes, the app hears -3 for its request, with nothing of the page, and
// the debug mode says why. A later sign-in goes as any other.
TEST(BlipWebAuthorize, AGrantThatCannotBeHandedOnEndsAsAFailedSignIn)
{
    WebWorld world;
    world.blip->setGrant(peers::BlipService::Grant { "1900001234", "a%00b", 3600 });
    BlipSDK::enableDebugMode(true);
    auto dialog = world.open();
    ASSERT_TRUE(dialog);
    pf::Log::startCapture();
    world.tapLink(dialog, "允许");
    EXPECT_TRUE(pf::Log::contains("BlipSDK send BPAuthorizeResponse error : the transfer object cannot be stored"));
    EXPECT_TRUE(pf::Log::contains("BlipSDK the authorisation is answered as failed (-3)"));
    pf::Log::stopCapture();
    EXPECT_FALSE(findDialog(world.window));
    ASSERT_EQ(world.delegate->responses.size(), 1u);
    auto failed = std::dynamic_pointer_cast<BPAuthorizeResponse>(world.delegate->responses[0]);
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->statusCode, BPBaseResponse::kStatusAuthFailed);
    EXPECT_EQ(failed->requestID, dialog->authorizeRequest()->requestID);
    EXPECT_FALSE(failed->accessToken);
    EXPECT_FALSE(failed->userID);
    EXPECT_FALSE(failed->userInfo);

    world.blip->setGrant(peers::BlipService::Grant {});
    dialog = world.open();
    ASSERT_TRUE(dialog);
    world.tapLink(dialog, "允许");
    ASSERT_EQ(world.delegate->responses.size(), 2u);
    EXPECT_EQ(world.delegate->responses[1]->statusCode, 0);
    EXPECT_EQ(std::dynamic_pointer_cast<BPAuthorizeResponse>(world.delegate->responses[1])->accessToken, "2.00blipwebtoken");
}

TEST(BlipWebAuthorize, CloseAnswersMinusOneAndAFailedLoadKeepsTheDialog)
{
    WebWorld world;
    peers::PeerReply cut;
    cut.dropConnection = true;
    world.server.setFault("GET", "/blip/oauth2/authorize", cut);
    auto dialog = world.open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->webView()->title(), "");
    world.env.fastForwardBy(60);
    EXPECT_EQ(findDialog(world.window), dialog);
    EXPECT_TRUE(world.delegate->responses.empty());
    pf::Driver driver;
    EXPECT_TRUE(driver.tapImage("close.png"));
    EXPECT_FALSE(driver.tapImage("close.png")) << "the dialog is gone";
    dialog->closeButtonPressed();
    EXPECT_FALSE(dialog->shouldStartLoadWithRequest(world.redirect + "#access_token=a&expires_in=1"));
    world.env.runUntilIdle();
    ASSERT_EQ(world.delegate->responses.size(), 1u);
    EXPECT_EQ(world.delegate->responses[0]->statusCode, -1);
    EXPECT_FALSE(world.delegate->responses[0]->userInfo);
    EXPECT_EQ(world.delegate->responses[0]->requestID, dialog->authorizeRequest()->requestID);
}

TEST(BlipWebAuthorize, TheDialogFollowsTheStatusBarAndDrawsItsFrame)
{
    WebWorld world;
    auto& screen = pf::Screen::main();
    const pf::Rect app = screen.applicationFrame();
    auto dialog = world.open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->frame().size, app.size);
    EXPECT_EQ(dialog->previousOrientation(), int(pf::InterfaceOrientation::Portrait));

    // Each turn of the status bar re-sizes the dialog: landscape swaps its sides.
    struct Turn {
        pf::InterfaceOrientation orientation;
        bool landscape;
        double rotation;
    };
    const Turn turns[] = {
        { pf::InterfaceOrientation::LandscapeRight, true, M_PI / 2 },
        { pf::InterfaceOrientation::LandscapeLeft, true, 3 * M_PI / 2 },
        { pf::InterfaceOrientation::PortraitUpsideDown, false, -M_PI },
        { pf::InterfaceOrientation::Portrait, false, 0 },
    };
    for (const Turn& t : turns) {
        screen.setStatusBarOrientation(t.orientation);
        world.env.fastForwardBy(0.3);
        EXPECT_EQ(dialog->previousOrientation(), int(t.orientation));
        EXPECT_EQ(dialog->frame().width(), t.landscape ? app.height() : app.width());
        EXPECT_DOUBLE_EQ(dialog->rotation(), t.rotation);
    }
    EXPECT_FALSE(dialog->shouldRotateToOrientation(int(pf::InterfaceOrientation::Portrait))) << "where it is already";
    EXPECT_FALSE(dialog->shouldRotateToOrientation(0));
    EXPECT_FALSE(dialog->shouldRotateToOrientation(5));
    EXPECT_TRUE(dialog->shouldRotateToOrientation(2));

    // The background: grey at 0.8 everywhere, a solid grey frame 10 points in (11 from the top).
    auto background = dialog->backgroundImage();
    ASSERT_TRUE(background);
    auto at = [&](int x, int y) { return background->colorAt(x, y); };
    const int w = background->pixelWidth(), h = background->pixelHeight();
    for (auto [x, y, alpha] : { std::tuple { 0, 0, 0.8 }, { 5, 5, 0.8 }, { w / 2, 11, 1.0 }, { w - 11, h / 2, 1.0 }, { 10, h / 2, 1.0 }, { w / 2, h - 11, 1.0 },
             { 30, 30, 0.8 }, { w / 2, 10, 0.8 }, { w - 10, h / 2, 0.8 }, { w / 2, h - 10, 0.8 } }) {
        EXPECT_NEAR(at(x, y).alpha, alpha, 0.01) << x << "," << y;
        EXPECT_NEAR(at(x, y).red, 0.3, 0.01) << x << "," << y;
    }

    // After the dialog ends, a turn changes nothing.
    dialog->closeButtonPressed();
    world.env.runUntilIdle();
    pf::Rect last = dialog->frame();
    screen.setStatusBarOrientation(pf::InterfaceOrientation::LandscapeLeft);
    world.env.fastForwardBy(0.3);
    EXPECT_EQ(dialog->frame(), last);
}

}
