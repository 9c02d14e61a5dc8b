#include "AppWorld.h"

#include "app/CommandInterpreter.h"
#include "app/Simulator.h"

#include "core/AppInfoConfiguration.h"
#include "core/records/VerificationCodeInfo.h"
#include "core/managers/LoginManager.h"
#include "core/managers/SharingManager.h"
#include "core/managers/UpdatingCheckManager.h"
#include "core/managers/VerificationCodeImageManager.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Pasteboard.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"
#include "screens/gifts/GiftCategoryViewController.h"
#include "screens/gifts/GiftDetailViewController.h"
#include "screens/gifts/GiftPageViewController.h"
#include "screens/gifts/GiftSearchingResultsPageViewController.h"
#include "screens/gifts/VerificationViewController.h"
#include "screens/menu/DDMenuController.h"
#include "screens/menu/RootViewController.h"
#include "screens/mygifts/MyGiftCodeViewController.h"
#include "screens/mygifts/MyGiftsViewController.h"
#include "tests/support/PortalTestClient.h"
#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

namespace {

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

class CommandInterpreterTest : public ::testing::Test {
protected:
    CommandInterpreterTest()
    {
        pf::UIEnvironment::reset();
        auto config = AppInfoConfiguration::sharedInstance();
        config->setAppKey("quorvane-sample-key");
        config->setOpenID("quorvane-sample-client");
    }
    ~CommandInterpreterTest() override
    {
        window.reset();
        pf::UIEnvironment::reset();
    }

    void showFirstScreen(const std::string& apiBase)
    {
        AppInfoConfiguration::sharedInstance()->setApiBaseURL(apiBase);
        window = Simulator::showFirstScreen();
        root = std::dynamic_pointer_cast<RootViewController>(window->rootViewController());
        ASSERT_TRUE(root);
        navigation = std::dynamic_pointer_cast<pf::NavigationController>(root->rootViewController());
        ASSERT_TRUE(navigation);
        category = std::dynamic_pointer_cast<GiftCategoryViewController>(navigation->viewControllers().front());
        ASSERT_TRUE(category);
    }
    // Runs lines and returns what they printed.
    std::string run(const std::vector<std::string>& lines)
    {
        out.str({});
        for (auto& line : lines)
            interpreter.execute(line);
        return out.str();
    }
    std::vector<std::string> pagesAsked(const portal::PortalServer& server, const std::string& type) const
    {
        std::vector<std::string> pages;
        for (auto& r : server.receivedRequests()) {
            if (r.path != "/api/ka/list" || r.body.find("type=" + type) == std::string::npos)
                continue;
            auto at = r.body.find("page=");
            pages.push_back(r.body.substr(at + 5, r.body.find('&', at) - at - 5));
        }
        return pages;
    }

    pf::TaskEnvironment env;
    std::ostringstream out;
    CommandInterpreter interpreter { out };
    std::shared_ptr<pf::Window> window;
    std::shared_ptr<RootViewController> root;
    std::shared_ptr<pf::NavigationController> navigation;
    std::shared_ptr<GiftCategoryViewController> category;
};

TEST_F(CommandInterpreterTest, ASessionAgainstTheLocalPortal)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());

    // The portal offers a newer build at start-up; later is fine.
    std::string first = run({ "idle", "tap \"以后再说\"", "dump" });
    EXPECT_EQ(first.rfind("--- screen\n", 0), 0u) << first.substr(0, 200);
    EXPECT_EQ(first.substr(first.size() - 4), "---\n");
    for (const char* text : { "text=\"Quorvane\"", "text=\"推荐\"", "text=\"独家\"", "text=\"最新\"", "领取资格：", "剩余礼包：", "outlet=giftActionButton" })
        EXPECT_NE(first.find(text), std::string::npos) << text;
    EXPECT_EQ(first.find("error:"), std::string::npos) << first;
    EXPECT_EQ(pagesAsked(server, "0"), (std::vector<std::string> { "1", "2" }));

    // The second tab, flicked to its bottom: page 2 in full, then its probe finds nothing.
    EXPECT_EQ(run({ "tap \"独家\"", "scroll bottom", "idle" }), "");
    EXPECT_EQ(category->currentPage(), 11);
    EXPECT_EQ(pagesAsked(server, "1"), (std::vector<std::string> { "1", "2", "2", "3" }));
    EXPECT_NE(run({ "scroll bottom", "dump" }).find("text=\"已经显示全部内容\""), std::string::npos);
    EXPECT_EQ(pagesAsked(server, "1").size(), 4u) << "nothing more to load";

    // Pull to refresh from wherever the list is: page 1 again.
    EXPECT_EQ(run({ "pull", "idle" }), "");
    EXPECT_EQ(pagesAsked(server, "1").at(4), "1");
    EXPECT_EQ(category->giftPageViewControllers()[1]->giftListArray().size(), 20u);

    // A row opens a screen; back returns to the same tab.
    EXPECT_EQ(run({ "tap row 0" }), "");
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(run({ "back" }), "");
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_EQ(category->currentPage(), 11);
    EXPECT_EQ(interpreter.failures(), 0);
}

// The waits below are long enough for a local reply on a loaded machine, like `idle`'s: only
// a reply that cannot arrive is meant to stay out.
TEST_F(CommandInterpreterTest, AWaitRightAfterOpeningAGiftShowsItsDetail)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    run({ "idle", "tap \"以后再说\"" });

    server.holdOperation("ka/info");
    EXPECT_EQ(run({ "tap row 0" }), "");
    auto detail = std::dynamic_pointer_cast<GiftDetailViewController>(navigation->viewControllers().back());
    ASSERT_TRUE(detail);
    EXPECT_FALSE(detail->giftDetailInfo());
    server.releaseHeld(); // the reply is on its way
    EXPECT_EQ(run({ "wait 10" }), "");
    EXPECT_TRUE(detail->giftDetailInfo()) << "what a person waiting would see";
}

TEST_F(CommandInterpreterTest, AWaitLetsInTheRepliesThatArriveWhileItsClockMoves)
{
    pf::TestHttpServer server;
    server.reply("GET", "/soon", 200, "soon");
    server.on("GET", "/held", [](const auto&) { pf::TestHttpServer::Response held; held.hold = true; return held; });
    auto& loop = pf::RunLoop::main();
    const double start = loop.monotonicNow();
    auto elapsed = [&] { return loop.monotonicNow() - start; };

    // A timer one second in sends a request; its reply schedules more half a second later.
    double repliedAt = -1, followedAt = -1;
    loop.postDelayed(1, [&] {
        auto soon = pf::UrlConnection::create(pf::UrlRequest(server.url("/soon")));
        soon->didFinishLoading = [&] {
            repliedAt = elapsed();
            loop.postDelayed(0.5, [&] { followedAt = elapsed(); });
        };
        soon->start();
    });
    EXPECT_EQ(run({ "wait 10" }), "");
    EXPECT_NEAR(repliedAt, 1, 1e-6) << "the clock waited for the reply at the timer";
    EXPECT_NEAR(followedAt, 1.5, 1e-6);

    // A reply that does not come within the wait stays out, after the person's time has passed.
    bool heldArrived = false;
    auto held = pf::UrlConnection::create(pf::UrlRequest(server.url("/held")));
    held->didFinishLoading = [&] { heldArrived = true; };
    held->start();
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(run({ "wait 0.2" }), "");
    EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count(), 0.2);
    EXPECT_FALSE(heldArrived);
    EXPECT_NEAR(elapsed(), 10.2, 1e-6);
    server.releaseHeld();
    EXPECT_EQ(run({ "idle" }), "");
    EXPECT_TRUE(heldArrived);
}

TEST_F(CommandInterpreterTest, AScriptSearchesByPictureButtonAndHotWordThenCopiesAnObtainedCode)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    run({ "idle", "tap \"以后再说\"" });
    PortalTestClient::storeTokenOf(env, "collector", "collector123");
    Simulator simulator({});

    std::istringstream script(R"(idle
tap image "search.png"
idle
tap "星海战纪"
idle
dump
back
tap image "back.png"
open mygifts
idle
tap "已领取"
tap row 0
tap "复制卡密"
dump
pasteboard
tap image "no-such.png"
quit
)");
    std::ostringstream printed;
    EXPECT_EQ(simulator.run(script, printed, false), 1) << "the missing picture fails";
    std::string text = printed.str();
    EXPECT_EQ(count(text, "error: "), 1u) << text;
    EXPECT_NE(text.find("error: cannot tap the image \"no-such.png\""), std::string::npos) << text;
    EXPECT_NE(text.find("text=\"搜索“星海战纪”的结果\""), std::string::npos) << text;
    EXPECT_NE(text.find("GiftSearchingResultTableViewCell"), std::string::npos);
    EXPECT_NE(text.find("text=\"复制成功\""), std::string::npos);

    auto& stack = navigation->viewControllers();
    ASSERT_EQ(stack.size(), 3u);
    EXPECT_TRUE(std::dynamic_pointer_cast<MyGiftsViewController>(stack[1]));
    auto code = std::dynamic_pointer_cast<MyGiftCodeViewController>(stack[2]);
    ASSERT_TRUE(code);
    EXPECT_NE(text.find(code->codeString() + "\n"), std::string::npos) << "the copied code on the pasteboard";
}

TEST_F(CommandInterpreterTest, ATapOnATextThatSeveralViewsShowPressesTheButtonAndSaysSo)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    run({ "idle", "tap \"以后再说\"", "tap image \"search.png\"", "idle", "type \"请输入想要查找的礼包...\" \"星海\"" });
    ASSERT_EQ(interpreter.failures(), 0);

    // The search screen's title reads "搜索" as its button does.
    std::string printed = run({ "tap \"搜索\"", "idle" });
    EXPECT_TRUE(std::dynamic_pointer_cast<GiftSearchingResultsPageViewController>(navigation->topViewController()))
        << "the button opened the results";
    EXPECT_EQ(printed.rfind("note: tapped Button (", 0), 0u) << printed;
    EXPECT_NE(printed.find("\"搜索\", one of 2 views showing it"), std::string::npos) << printed;
    EXPECT_EQ(interpreter.failures(), 0);

    // One view showing the text: nothing to tell.
    EXPECT_EQ(run({ "back", "back", "tap \"独家\"" }), "");
}

TEST_F(CommandInterpreterTest, AMistypedPasswordIsClearedAndTheLoginGoesThrough)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    run({ "idle", "tap \"以后再说\"", "tap row 0", "wait 0.5", "idle", "tap \"领取\"", "wait 0.5" });
    EXPECT_EQ(run({ "type \"userName\" \"demo\"", "type \"password\" \"demo1234\"", "type \"password\" \"\"" }),
        "error: usage: type \"FIELD\" \"TEXT\" (TEXT not empty; clear \"FIELD\" empties a field)\n");
    EXPECT_EQ(run({ "clear \"password\"", "type \"password\" \"demo123\"", "tap \"登录\"", "idle", "wait 4" }), "");
    auto detail = std::dynamic_pointer_cast<GiftDetailViewController>(navigation->topViewController());
    ASSERT_TRUE(detail);
    EXPECT_TRUE(detail->verificationViewController()) << "the login went through and the claim showed its captcha";
}

TEST_F(CommandInterpreterTest, TheCaptchaSaysWhereItsPicturesAreAndThatItTakesNoTapsWhileItAppears)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    PortalTestClient::storeTokenOf(env, "demo", "demo123");
    run({ "idle", "tap \"以后再说\"", "tap row 0", "wait 0.5", "idle", "tap \"领取\"", "idle" });

    // Just shown, the captcha takes no taps for a moment: its overlay, not what lies behind, is why.
    std::string refused = run({ "tap \"换一张\"" });
    EXPECT_NE(refused.find("takes no touches now: the captcha, which holds it, has user interaction off"), std::string::npos)
        << refused;

    auto images = VerificationCodeImageManager::sharedInstance();
    std::string screen = run({ "dump" });
    EXPECT_NE(screen.find("image=" + images->fetchFilePath(VerificationCodeImageManager::kCodeImageName) + " outlet=questionView"),
        std::string::npos) << screen;
    for (int i = 0; i < VerificationCodeImageManager::kWordCount; ++i)
        EXPECT_NE(screen.find("bgImage=" + images->fetchFilePath(VerificationCodeImageManager::wordImageName(i)) + " tag=" + std::to_string(10 + i)),
            std::string::npos) << i;
    EXPECT_EQ(run({ "wait 1", "tap \"换一张\"" }), "");
}

TEST_F(CommandInterpreterTest, TheMenuOpensByButtonAndByDragAndShowsInTheDump)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    run({ "idle", "tap \"以后再说\"" });
    auto centreX = [&] { return navigation->view()->frame().x(); };

    std::string shown = run({ "menu", "dump" });
    EXPECT_EQ(centreX(), 200);
    for (const char* text : { "text=\"点击登录\"", "text=\"我的礼包\"", "text=\"检查更新\"", "text=\"关于\"", "text=\"反馈\"" })
        EXPECT_NE(shown.find(text), std::string::npos) << text;
    EXPECT_EQ(run({ "menu" }), "");
    EXPECT_EQ(centreX(), 0);
    EXPECT_EQ(run({ "dump" }).find("text=\"我的礼包\""), std::string::npos) << "the closed menu is not shown";

    // A slow drag opens it, a leftward fling closes it, a short drag springs back.
    EXPECT_EQ(run({ "drag 120" }), "");
    EXPECT_EQ(centreX(), 200);
    EXPECT_EQ(run({ "drag -200 fling" }), "");
    EXPECT_EQ(centreX(), 0);
    EXPECT_EQ(run({ "drag 60", "drag -40" }), "");
    EXPECT_EQ(centreX(), 0);
    EXPECT_EQ(run({ "menu", "tap \"关于\"" }), "");
    EXPECT_TRUE(interpreter.driver().findByText("OstvikPellomar V1.0"));
    EXPECT_EQ(interpreter.failures(), 0);
}

TEST_F(CommandInterpreterTest, FailuresPrintOneErrorLineEachAndTheScriptGoesOn)
{
    pf::TestHttpServer server;
    server.reply("POST", "/api/ka/list", 200, R"({"ret":0,"body":[]})", "application/json");
    server.reply("POST", "/api/arc/lun", 200, R"({"ret":0,"body":[]})", "application/json");
    showFirstScreen(server.url("/api/"));
    run({ "idle" });
    server.clearRequests();

    std::string printed = run({ "fly away", "tap \"nothing shows this\"", "tap tag 999", "tap row 7", "back", "type \"name\" \"x\"" });
    EXPECT_EQ(count(printed, "error: "), 6u) << printed;
    EXPECT_EQ(count(printed, "\n"), 6u) << printed;
    EXPECT_EQ(interpreter.failures(), 6);

    // Three tabs show the same end text; the one in front is the one tapped.
    EXPECT_EQ(run({ "tap \"已经显示全部内容\"", "idle" }), "");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u) << "a page request and its probe";
    EXPECT_NE(requests[0].body.find("type=0"), std::string::npos);
    EXPECT_NE(requests[0].body.find("page=2"), std::string::npos);

    pf::Pasteboard::general()->setString("ABCD-1234");
    EXPECT_EQ(run({ "pasteboard" }), "ABCD-1234\n");
    EXPECT_EQ(run({ "wait 2.5", "# a note" }), "");
    EXPECT_EQ(interpreter.failures(), 6);
    EXPECT_FALSE(interpreter.quitRequested());
    run({ "quit" });
    EXPECT_TRUE(interpreter.quitRequested());
}

TEST_F(CommandInterpreterTest, TheListUnderTheUpdateBoxAndAPageDotSayWhatKeepsTheFingerFromThem)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    showFirstScreen(server.apiBaseURL());
    run({ "idle" });

    // The update box lies over the middle of the list, which shows around it.
    std::string covered = run({ "tap row 0", "scroll bottom", "pull" });
    EXPECT_EQ(count(covered, "TableView (0,0,320,379) is covered by the update box\n"), 3u) << covered;
    EXPECT_EQ(navigation->viewControllers().size(), 1u);

    // A page dot shows, but a finger on it reaches the strip of dots, which ignores it.
    std::string dot = run({ "tap \"以后再说\"", "tap tag 101" });
    EXPECT_NE(dot.find("error: cannot tap tag 101: ImageView (147,10,8,8) takes no touches: a finger on it lands on CustomPageControlView"),
        std::string::npos) << dot;
    EXPECT_EQ(interpreter.failures(), 4);
}

TEST_F(CommandInterpreterTest, AScriptStopsAtQuitAndItsStatusTellsWhetherAnyCommandFailed)
{
    pf::TestHttpServer server;
    server.reply("POST", "/api/ka/list", 200, R"({"ret":0,"body":[]})", "application/json");
    server.reply("POST", "/api/arc/lun", 200, R"({"ret":0,"body":[]})", "application/json");
    showFirstScreen(server.url("/api/"));
    Simulator simulator({});

    std::istringstream good("idle\ndump\nquit\nfly\n");
    std::ostringstream printed;
    EXPECT_EQ(simulator.run(good, printed, false), 0);
    EXPECT_EQ(printed.str().find("error:"), std::string::npos) << "nothing after quit runs";
    EXPECT_EQ(count(printed.str(), "--- screen\n"), 1u);

    std::istringstream bad("tap tag 12345\ndump\n");
    printed.str({});
    EXPECT_EQ(simulator.run(bad, printed, false), 1);
    EXPECT_EQ(count(printed.str(), "--- screen\n"), 1u) << "the script went on after the failure";
}

// The app on a tablet: its screens live in a popover, not at the window's root.
class CommandInterpreterOnTablet : public ::testing::Test {
protected:
    CommandInterpreterOnTablet()
    {
        pf::Device::current().setIdiom(pf::Device::Idiom::Tablet);
        pf::Device::current().setScreenSize(Simulator::kPadWidth, Simulator::kPadHeight);
        world.launch();
        world.settle();
        interpreter.setVendorApps(std::shared_ptr<VendorApps>(std::shared_ptr<void>(), &world.apps)); // the world's, only read
    }
    std::string run(const std::vector<std::string>& lines)
    {
        out.str({});
        for (auto& line : lines)
            interpreter.execute(line);
        return out.str();
    }
    std::shared_ptr<pf::NavigationController> navigation() const
    {
        return std::dynamic_pointer_cast<pf::NavigationController>(world.delegate->rootViewController()->rootViewController());
    }
    double centreX() const { return navigation()->view()->frame().x(); }

    AppWorld world;
    std::ostringstream out;
    CommandInterpreter interpreter { out };
};

TEST_F(CommandInterpreterOnTablet, EveryCommandWorksInThePopover)
{
    ASSERT_FALSE(world.delegate->window()->rootViewController()) << "the case under test: no root at the window";
    EXPECT_NE(run({ "idle", "tap \"以后再说\"", "dump" }).find("text=\"推荐\""), std::string::npos);
    EXPECT_EQ(run({ "back" }), "error: there is no back button\n") << "the menu button is no back button";

    const std::pair<const char*, double> moves[] = {
        { "menu", DDMenuController::kMenuWidth }, { "menu", 0 }, { "drag 120", DDMenuController::kMenuWidth }, { "drag -200 fling", 0 }
    };
    for (const auto& [command, x] : moves) {
        EXPECT_EQ(run({ command }), "") << command;
        EXPECT_EQ(centreX(), x) << command;
    }

    // The carousel's picture and its page dot share a tag: the picture's gift opens.
    auto category = navigation()->topViewController();
    EXPECT_EQ(run({ "tap tag 100", "wait 1" }), "note: tapped Button (0,0,320,126), one of 2 views tagged 100\n");
    EXPECT_TRUE(std::dynamic_pointer_cast<GiftDetailViewController>(navigation()->topViewController()));
    EXPECT_EQ(run({ "back" }), "");
    EXPECT_EQ(navigation()->topViewController(), category);

    // Every other command once: the lists, a row, the search with a field typed, cleared and
    // typed again, the way back.
    EXPECT_EQ(run({ "tap \"独家\"", "scroll bottom", "pull", "idle", "tap \"推荐\"", "tap row 0", "wait 1", "back", "wait 1",
                  "tap image \"search.png\"", "idle", "type \"请输入想要查找的礼包...\" \"星海战\"",
                  "clear \"请输入想要查找的礼包...\"", "type \"请输入想要查找的礼包...\" \"星海\"" }),
        "");
    run({ "tap \"搜索\"", "idle" });
    EXPECT_TRUE(std::dynamic_pointer_cast<GiftSearchingResultsPageViewController>(navigation()->topViewController()));
    EXPECT_EQ(run({ "back", "tap image \"back.png\"" }), "");
    EXPECT_EQ(navigation()->topViewController(), category);

    EXPECT_EQ(run({ "open mygifts", "idle" }), "");
    EXPECT_TRUE(std::dynamic_pointer_cast<MyGiftsViewController>(navigation()->topViewController()));
    pf::Pasteboard::general()->setString("ABCD-1234");
    EXPECT_EQ(run({ "pasteboard" }), "ABCD-1234\n");
    EXPECT_NE(run({ "received", "help menu" }), "");
    run({ "quit" });
    EXPECT_TRUE(interpreter.quitRequested());
    EXPECT_EQ(interpreter.failures(), 1) << "only the deliberate back";
}

// The app without the stand-in apps, on a phone and on a tablet, launched by the test.
class CommandInterpreterOnPhoneAndTablet : public ::testing::TestWithParam<bool> {
protected:
    CommandInterpreterOnPhoneAndTablet()
    {
        if (GetParam()) {
            pf::Device::current().setIdiom(pf::Device::Idiom::Tablet);
            pf::Device::current().setScreenSize(Simulator::kPadWidth, Simulator::kPadHeight);
        }
    }
    std::string run(const std::vector<std::string>& lines)
    {
        out.str({});
        for (auto& line : lines)
            interpreter.execute(line);
        return out.str();
    }

    AppWorld world;
    std::ostringstream out;
    std::ostringstream notes;
    CommandInterpreter interpreter { out, notes };
};

// An LZone share signs in to LM in a window of its own over the screen, which moves the app's
// window beside it.
class CommandInterpreterBehindTheSignIn : public CommandInterpreterOnPhoneAndTablet {
protected:
    CommandInterpreterBehindTheSignIn()
    {
        world.launch({});
        world.settle();
    }
};

TEST_P(CommandInterpreterBehindTheSignIn, NothingInTheAppsWindowIsReachedAndTheErrorsNameTheWindowInFront)
{
    run({ "idle", "tap \"以后再说\"", "tap row 0", "wait 1", "idle", "tap image \"share.png\"", "tap \"LM空间\"", "wait 3" });
    ASSERT_EQ(interpreter.failures(), 0) << out.str();
    auto appWindow = world.delegate->window();
    auto signIn = pf::Window::keyWindow();
    ASSERT_NE(signIn, appWindow);
    ASSERT_EQ(appWindow->frame().x(), pf::Screen::main().bounds().width()) << "the case under test: the app's window beside the screen";
    auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(world.delegate->rootViewController()->rootViewController());
    ASSERT_TRUE(navigation);
    auto detail = navigation->topViewController();

    std::string beside = GetParam() ? "(768,0,768,1024); the screen shows the LM sign-in page in front\n"
                                    : "(320,0,320,480); the screen shows the LM sign-in page in front\n";
    std::string refused = run({ "tap \"领取\"", "tap tag 12", "tap image \"share.png\"", "scroll bottom", "pull", "drag 120",
        "open mygifts" });
    EXPECT_EQ(count(refused, " lies off the screen, in a window at " + beside), 7u) << refused;
    EXPECT_TRUE(navigation->topViewController() == detail) << "nothing was pushed into the hidden window";
    EXPECT_TRUE(pf::Window::keyWindow() == signIn);
}

// `idle` on a sign-in page that never rests (an interval whose beat outlasts it, on the real
// clock as a person's session runs) comes back once the replies are in, not at its limit.
TEST_P(CommandInterpreterOnPhoneAndTablet, IdleReturnsOnASignInPageThatIsAlwaysBusy)
{
    world.peers.setFault("GET", "/lmopenapi/oauth2.0/m_authorize",
        peers::PeerReply::bytes("<html><head><title>LM</title></head><body><p id=\"beats\">0</p><script>"
                                "var n = 0; setInterval(function () { var t = Date.now(); while (Date.now() - t < 20) {} "
                                "document.getElementById('beats').textContent = 'beat ' + (++n); }, 0);"
                                "</script></body></html>",
            "text/html; charset=utf-8"));
    world.env.clock().useSystemTime();
    world.launch({});
    std::string out = run({ "idle", "tap \"以后再说\"", "tap row 0", "wait 1", "idle", "tap image \"share.png\"", "tap \"LM空间\"",
        "wait 1", "idle", "dump" });
    EXPECT_EQ(interpreter.failures(), 0) << out;
    EXPECT_NE(out.find("text \"beat "), std::string::npos) << "the case under test: the busy page is shown\n" << out;
    EXPECT_EQ(count(notes.str(), "\n"), 1u) << "one note, for the idle on the busy page only\n" << notes.str();
    EXPECT_EQ(notes.str().rfind("quorvane: idle: ", 0), 0u) << notes.str();
}

// `idle` on a sign-in page whose steps start one another (each through a "javascript:" address,
// which runs in a turn of its own) waits for the last step, and has nothing to note.
TEST_P(CommandInterpreterOnPhoneAndTablet, IdleWaitsForTheLastStepOfASignInPageThatChainsThem)
{
    world.peers.setFault("GET", "/lmopenapi/oauth2.0/m_authorize",
        peers::PeerReply::bytes("<html><head><title>LM</title></head><body><p id=\"steps\">0</p><script>"
                                "var n = 0; function step() { ++n; if (n < 40) { "
                                "document.getElementById('steps').textContent = 'step ' + n; location.href = 'javascript:step()'; "
                                "} else { document.getElementById('steps').textContent = 'CHAIN DONE ' + n; } } "
                                "location.href = 'javascript:step()';"
                                "</script></body></html>",
            "text/html; charset=utf-8"));
    world.env.clock().useSystemTime();
    world.launch({});
    std::string out = run({ "idle", "tap \"以后再说\"", "tap row 0", "wait 1", "idle", "tap image \"share.png\"", "tap \"LM空间\"",
        "idle", "dump" });
    EXPECT_EQ(interpreter.failures(), 0) << out;
    EXPECT_NE(out.find("text \"CHAIN DONE 40\""), std::string::npos) << out;
    EXPECT_EQ(notes.str(), "");
}

INSTANTIATE_TEST_SUITE_P(PhoneAndTablet, CommandInterpreterBehindTheSignIn, ::testing::Bool(),
    [](const auto& info) { return info.param ? "Tablet" : "Phone"; });

// A logged-in user's greeting, over the same spot as the update box, begins to fade as it is
// shown: when its reply comes after the version check's, the box it fades from is still what
// the dump after `idle` shows and what a tap reaches.
TEST_P(CommandInterpreterOnPhoneAndTablet, IdleShowsTheUpdateBoxWhenTheGreetingComesAfterIt)
{
    PortalTestClient::storeTokenOf(world.env, "demo", "demo123");
    world.portal.holdOperation("game/verup");
    world.portal.holdOperation("user/info");
    world.launch({});
    auto asked = [&](const std::string& path) {
        auto requests = world.portal.receivedRequests();
        return std::any_of(requests.begin(), requests.end(), [&](const auto& r) { return r.path == path; });
    };
    ASSERT_TRUE(world.env.runUntil([&] { return asked("/api/game/verup") && asked("/api/user/info"); }));
    world.portal.releaseHeld("game/verup");
    ASSERT_TRUE(world.env.runUntil([] { return UpdatingCheckManager::sharedInstance()->versionUpdatingView() != nullptr; }));
    world.portal.releaseHeld("user/info");

    std::string screen = run({ "idle", "dump" });
    EXPECT_NE(screen.find("text=\"欢迎回来.\""), std::string::npos) << "the case under test: the greeting in front\n" << screen;
    EXPECT_NE(screen.find("title=\"以后再说\""), std::string::npos) << screen;
    EXPECT_EQ(run({ "tap \"以后再说\"" }), "");
}

// Errors name the update box and the About box as a person would, and say that the About box
// is fading out rather than that it is hidden.
TEST_P(CommandInterpreterOnPhoneAndTablet, ErrorsNameTheUpdateBoxAndTheFadingAboutBox)
{
    world.launch({});
    // What lies under the box: the list on a phone, the tabs at the top of the tablet's popover.
    std::string covered = run({ "idle", GetParam() ? "tap \"独家\"" : "tap row 0" });
    EXPECT_NE(covered.find(" is covered by the update box\n"), std::string::npos) << covered;
    std::string fading = run({ "tap \"以后再说\"", "menu", "wait 0.5", "tap \"关于\"", "tap \"OstvikPellomar V1.0\"" });
    EXPECT_EQ(fading,
        "error: cannot tap \"OstvikPellomar V1.0\": Label (10,84,220,20) \"OstvikPellomar V1.0\" in the About box is fading out\n");
}

// What lies over the lists and the gift's buttons is named as a person sees it, not by the view
// inside it that the finger meets: the loading overlay, the claim prompt, the captcha, the claim
// result, the share sheet, Blip's sign-in page and an alert.
TEST_P(CommandInterpreterOnPhoneAndTablet, ErrorsNameTheOverlaysThatCoverTheListsAndTheGift)
{
    PortalTestClient::storeTokenOf(world.env, "demo", "demo123");
    world.portal.holdOperation("ka/list");
    world.launch({});
    ASSERT_TRUE(world.env.runUntil([] { return UpdatingCheckManager::sharedInstance()->versionUpdatingView() != nullptr; }));
    std::string loading = run({ "tap \"以后再说\"", "tap row 0" });
    EXPECT_NE(loading.find(" is covered by the loading overlay\n"), std::string::npos) << loading;
    world.portal.releaseHeld();

    // The gold coins gift, which asks before its claim.
    run({ "idle", "tap row 1", "wait 1", "idle" });
    ASSERT_EQ(interpreter.failures(), 1) << out.str();
    auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(world.delegate->rootViewController()->rootViewController());
    ASSERT_TRUE(navigation);
    auto detail = std::dynamic_pointer_cast<GiftDetailViewController>(navigation->topViewController());
    ASSERT_TRUE(detail);
    const std::string claim = "error: cannot tap \"领取\": Button (60,8,200,24) \"领取\" is covered by ";
    EXPECT_EQ(run({ "tap \"领取\"", "tap \"领取\"" }), claim + "the claim prompt\n");
    EXPECT_EQ(run({ "tap \"立刻领取\"", "idle", "wait 1", "tap \"领取\"" }), claim + "the captcha\n");

    // The words of the captcha, tile by tile, as a person reading it would pick them.
    auto captcha = detail->verificationCodeInfo();
    ASSERT_TRUE(captcha && captcha->verikey());
    auto answer = world.portal.service().answerOfCaptcha(captcha->verifystr().text());
    ASSERT_TRUE(answer);
    std::vector<std::string> picks;
    for (std::string rest = *answer; !rest.empty();) {
        const auto& words = *captcha->verikey();
        auto word = std::find_if(words.begin(), words.end(), [&](const auto& w) { return !w.empty() && rest.starts_with(w); });
        ASSERT_NE(word, words.end()) << rest;
        picks.push_back("tap tag " + std::to_string(VerificationViewController::kFirstTileTag + (word - words.begin())));
        rest = rest.substr(word->size());
    }
    picks.insert(picks.end(), { "tap \"确定\"", "idle" });
    std::string picked = run(picks); // (the status button shares a tile's tag: a note says which was tapped)
    EXPECT_EQ(picked.find("error:"), std::string::npos) << picked;
    EXPECT_EQ(run({ "tap \"领取\"" }), claim + "the claim result\n");

    EXPECT_EQ(run({ "tap \"复制卡密\"", "tap image \"share.png\"", "tap \"领取\"" }), claim + "the share sheet\n");
    EXPECT_EQ(run({ "tap \"闪讯\"", "tap \"领取\"" }), claim + "the Blip sign-in page\n");
    SharingManager::sharedInstance()->showInvalidTokenOrOpenIDMessage();
    EXPECT_EQ(run({ "tap \"领取\"" }), claim + "the alert “api调用失败”\n");
}

INSTANTIATE_TEST_SUITE_P(PhoneAndTablet, CommandInterpreterOnPhoneAndTablet, ::testing::Bool(),
    [](const auto& info) { return info.param ? "Tablet" : "Phone"; });

// Below system 7 the screens are laid below the navigation bar, as that system lays them, so
// what lies at their top takes taps and typing; the bar's buttons, placed as before 7, answer.
class CommandInterpreterOnAnOlderSystem : public CommandInterpreterOnPhoneAndTablet {
protected:
    CommandInterpreterOnAnOlderSystem()
    {
        pf::Device::current().setSystemVersion("6.1");
        world.launch({});
        world.settle();
    }
    ~CommandInterpreterOnAnOlderSystem() override { pf::Device::current().setSystemVersion(previousVersion); }

    std::string previousVersion = pf::Device::current().systemVersion();
};

TEST_P(CommandInterpreterOnAnOlderSystem, TheTopOfEveryScreenTakesTapsAndTyping)
{
    auto navigation = std::dynamic_pointer_cast<pf::NavigationController>(world.delegate->rootViewController()->rootViewController());
    ASSERT_TRUE(navigation);
    auto category = std::dynamic_pointer_cast<GiftCategoryViewController>(navigation->viewControllers().front());
    ASSERT_TRUE(category);

    EXPECT_EQ(run({ "idle", "tap \"以后再说\"", "tap \"独家\"" }), "");
    EXPECT_EQ(category->currentPage(), 11);
    EXPECT_EQ(run({ "tap image \"search.png\"", "idle", "type \"请输入想要查找的礼包...\" \"星海\"", "back", "wait 1",
                  "open mygifts", "idle", "tap \"已领取\"", "tap image \"back.png\"", "wait 1" }),
        "");
    EXPECT_EQ(navigation->topViewController(), category);

    EXPECT_EQ(run({ "menu", "wait 0.5", "tap \"点击登录\"", "wait 0.5", "type \"userName\" \"demo\"",
                  "type \"password\" \"demo123\"", "tap \"登录\"", "idle" }),
        "");
    EXPECT_TRUE(LoginManager::sharedInstance()->userInformation()) << "the login went through";
}

INSTANTIATE_TEST_SUITE_P(PhoneAndTablet, CommandInterpreterOnAnOlderSystem, ::testing::Bool(),
    [](const auto& info) { return info.param ? "Tablet" : "Phone"; });

}
