#include "tests/sdk/lmconnect/web/WebSessionFixture.h"

#include "sdk/lmconnect/MorrowScriptServices.h"
#include "sdk/lmconnect/dialogs/MorrowAvatar.h"
#include "sdk/lmconnect/dialogs/SetHeadImageViewController.h"
#include "sdk/lmconnect/dialogs/SetUserHeaderImageUiKit.h"
#include "sdk/lmconnect/dialogs/UINotifyView.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

#include <random>

namespace {

struct AvatarRecorder : Recorder {
    std::vector<std::shared_ptr<APIResponse>> avatarResults;
    int closes { 0 };
    void setUserHeadpicResponse(const std::shared_ptr<APIResponse>& r) override { avatarResults.push_back(r); }
    void morrowOAuthDoCloseViewController(const std::shared_ptr<pf::ViewController>&) override { ++closes; }
};

std::shared_ptr<pf::Image> picture(int width, int height, bool noisy = false)
{
    auto image = std::make_shared<pf::Image>(width, height);
    std::mt19937 random(7);
    for (auto& pixel : image->pixels())
        pixel = noisy ? (0xFF000000u | (random() & 0xFFFFFFu)) : 0xFF3366CCu;
    return image;
}

class AvatarTest : public WebSessionTest {
protected:
    AvatarTest()
    {
        session->setSessionDelegate(avatarRecorder);
        session->setAccessToken(std::string("TOKEN-1"));
        session->setOpenId(peers::LMOpenApiService::openIdForToken("TOKEN-1"));
        session->setExpirationDate(env.now() + 3600);
    }
    std::shared_ptr<SetUserHeaderImageUiKit> kit() const { return session->avatar()->setUserHeaderImageKit(); }
    std::shared_ptr<SetHeadImageViewController> screen() const { return kit() ? kit()->screen() : nullptr; }
    std::vector<peers::PeerRequest> uploads() const
    {
        std::vector<peers::PeerRequest> found;
        for (auto& r : server.requests())
            if (r.path == "/lmopenapi/user/set_user_face")
                found.push_back(r);
        return found;
    }
    bool reported(const std::string& action) const
    {
        for (auto& r : server.requests())
            if (r.queryValue("nValue") == action)
                return true;
        return false;
    }
    std::shared_ptr<pf::Image> uploadedPicture(const peers::PeerRequest& request) const
    {
        for (auto& part : request.parts)
            if (part.name == "picture")
                return pf::Image::decode(pf::Bytes(part.data.begin(), part.data.end()));
        return nullptr;
    }
    // Presses the choose button and waits for the upload's reply.
    void choose()
    {
        ASSERT_TRUE(driver.tap(screen()->selectButton()));
        env.fastForwardBy(0.02);
        ASSERT_TRUE(env.waitForPendingWork());
        env.runUntilIdle();
    }

    std::shared_ptr<AvatarRecorder> avatarRecorder = std::make_shared<AvatarRecorder>();
};

TEST_F(AvatarTest, PicturesAreCheckedThenFittedUnderTheSquare)
{
    struct Case {
        int width, height;
        bool opens;
        int detail;           // of the refusal
        double workingWidth;  // after a reduction
        double workingHeight;
        double minZoom, maxZoom;
    };
    const std::vector<Case> cases {
        { 3265, 2448, false, MorrowAvatar::kPictureTooLargeCode, 0, 0, 0, 0 },
        { 0, 0, false, MorrowAvatar::kMissingPictureCode, 0, 0, 0, 0 },
        { 3264, 2448, true, 0, 2048, 2048 * 2448.0 / 3264, 320 / 2448.0 / (2048 / 3264.0), 1.0 },
        { 1500, 4000, true, 0, 768, 2048, 320 / 768.0, 1.0 },
        { 1000, 3000, true, 0, 1000, 3000, 0.32, 1.0 },
        { 500, 500, true, 0, 500, 500, 0.64, 1.28 },
        { 1000, 1000, true, 0, 1000, 1000, 0.32, 1.0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        avatarRecorder->avatarResults.clear();
        ASSERT_TRUE(session->setUserHeadpic(c.width ? picture(c.width, c.height) : nullptr, std::nullopt));
        env.fastForwardBy(0.05);
        if (!c.opens) {
            ASSERT_EQ(avatarRecorder->avatarResults.size(), 1u);
            EXPECT_EQ(avatarRecorder->avatarResults[0]->retCode, 1);
            EXPECT_EQ(avatarRecorder->avatarResults[0]->detailRetCode, c.detail);
            EXPECT_FALSE(kit() && kit()->window());
            continue;
        }
        ASSERT_TRUE(kit()->window());
        EXPECT_EQ(appWindow->frame().x(), pf::Screen::main().bounds().width());
        ASSERT_TRUE(screen()->image());
        EXPECT_NEAR(screen()->image()->size().width, c.workingWidth, 1);
        EXPECT_NEAR(screen()->image()->size().height, c.workingHeight, 1);
        EXPECT_NEAR(screen()->minimumZoomScale(), c.minZoom, 0.002);
        EXPECT_NEAR(screen()->maximumZoomScale(), c.maxZoom, 0.002);
        EXPECT_NEAR(screen()->zoomScale(), c.minZoom, 0.002);
        EXPECT_FALSE(screen()->activityView());
        // A second dialog cannot open over the first.
        EXPECT_FALSE(kit()->popSetHeadImageViewWnd(session->avatar(), picture(10, 10), std::nullopt, std::nullopt));
        ASSERT_TRUE(driver.tapText(SetHeadImageViewController::kCancelTitle));
        env.fastForwardBy(0.2);
        EXPECT_FALSE(kit()->window());
        EXPECT_EQ(appWindow->frame().x(), 0);
        EXPECT_TRUE(appWindow->isKeyWindow());
    }
    // For a host: the screen is handed over, gets its picture 0.1 s later, and a memory
    // warning cancels as "取消" does, telling the host to take it away.
    avatarRecorder->closes = 0;
    std::shared_ptr<pf::ViewController> given;
    ASSERT_TRUE(session->setUserHeadpicAndViewController(picture(800, 600), std::string("x"), given));
    auto hosted = std::dynamic_pointer_cast<SetHeadImageViewController>(given);
    ASSERT_TRUE(hosted);
    EXPECT_FALSE(kit()->window());
    hosted->view();
    env.fastForwardBy(0.05);
    EXPECT_FALSE(hosted->image());
    env.fastForwardBy(0.1);
    ASSERT_TRUE(hosted->image());
    EXPECT_EQ(hosted->fileName(), "x");
    hosted->didReceiveMemoryWarning();
    env.fastForwardBy(0.2);
    EXPECT_EQ(avatarRecorder->closes, 1);
    EXPECT_FALSE(kit()->headImageViewController());

    session->logout(recorder);
    EXPECT_FALSE(session->setUserHeadpic(picture(10, 10), std::nullopt));
}

TEST_F(AvatarTest, TheChosenSquareIsUploadedAndTheReplyShown)
{
    struct Case {
        std::string name;
        std::shared_ptr<pf::Image> image;
        double zoom;   // 0: the smallest
        int side;      // of the uploaded square
        bool jpeg;
    };
    const std::vector<Case> cases {
        { "smallest zoom", picture(2048, 2048), 0, 640, false },
        { "zoomed in", picture(2048, 2048), 318 / 400.0, 400, false },
        { "noisy", picture(1000, 1000, true), 0, 640, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        avatarRecorder->avatarResults.clear();
        avatarRecorder->closes = 0;
        size_t before = uploads().size();
        ASSERT_TRUE(session->setUserHeadpic(c.image, std::string("me.png")));
        env.fastForwardBy(0.05);
        if (c.zoom)
            screen()->setZoomScale(c.zoom);
        choose();
        auto sent = uploads();
        ASSERT_EQ(sent.size(), before + 1);
        auto uploaded = uploadedPicture(sent.back());
        ASSERT_TRUE(uploaded);
        EXPECT_EQ(uploaded->pixelWidth(), c.side);
        EXPECT_EQ(uploaded->pixelHeight(), c.side);
        bool isJpeg = false;
        for (auto& part : sent.back().parts)
            if (part.name == "picture")
                isJpeg = part.data.size() > 2 && static_cast<unsigned char>(part.data[0]) == 0xFF;
        EXPECT_EQ(isJpeg, c.jpeg);
        // Success: the notice, then the dialog closes 1.1 s later and everything is back.
        ASSERT_TRUE(screen()->notify());
        EXPECT_EQ(screen()->notify()->text(), std::optional<std::string>(SetHeadImageViewController::kSetDone));
        ASSERT_EQ(avatarRecorder->avatarResults.size(), 1u);
        EXPECT_EQ(avatarRecorder->avatarResults[0]->retCode, 0);
        env.fastForwardBy(1.0);
        EXPECT_TRUE(kit()->window());
        env.fastForwardBy(0.25);
        EXPECT_FALSE(kit()->window());
        EXPECT_EQ(avatarRecorder->closes, 1);
        EXPECT_EQ(appWindow->frame().x(), 0);
        EXPECT_TRUE(appWindow->isKeyWindow());
    }
    EXPECT_TRUE(session->apiRequests().empty());
}

TEST_F(AvatarTest, AFailedUploadLeavesRetryAndNothingIsSentTwice)
{
    struct Case {
        std::string reply;
        std::string notice;
    };
    const std::vector<Case> cases {
        { R"({"ret": 100016, "msg": "x"})", SetHeadImageViewController::kSetFailed },
        { R"({"ret": "0", "msg": "x"})", SetHeadImageViewController::kNetworkProblem },
        { R"({"msg": "no ret"})", SetHeadImageViewController::kNetworkProblem },
        { R"([1, 2])", SetHeadImageViewController::kNetworkProblem },
    };
    ASSERT_TRUE(session->setUserHeadpic(picture(600, 600), std::nullopt));
    env.fastForwardBy(0.05);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        server.clearFaults();
        server.setFault("*", "/lmopenapi/user/set_user_face", peers::PeerReply::json(c.reply));
        choose();
        ASSERT_TRUE(screen()->notify());
        EXPECT_EQ(screen()->notify()->text(), std::optional<std::string>(c.notice));
        EXPECT_EQ(screen()->selectButton()->title(), SetHeadImageViewController::kRetryTitle);
        EXPECT_TRUE(screen()->selectButton()->isEnabled());
        env.fastForwardBy(2);
        EXPECT_TRUE(kit()->window());
        EXPECT_FALSE(screen()->notify());
    }
    EXPECT_TRUE(reported("10660"));
    EXPECT_TRUE(reported("10657"));

    // Becoming active while an upload runs sends no second one.
    server.clearFaults();
    auto held = peers::PeerReply::json(R"({"ret": 0})");
    held.hold = true;
    server.setFault("*", "/lmopenapi/user/set_user_face", held);
    size_t before = uploads().size();
    ASSERT_TRUE(driver.tap(screen()->selectButton()));
    env.fastForwardBy(0.02);
    EXPECT_TRUE(screen()->isSetUserPic());
    pf::NotificationCenter::defaultCenter().post(pf::Application::kDidBecomeActiveNotification);
    env.fastForwardBy(0.05);
    server.releaseHeld();
    ASSERT_TRUE(env.waitForPendingWork());
    env.runUntilIdle();
    EXPECT_EQ(uploads().size(), before + 1);

    // No network when choosing: the notice and "重试", nothing sent.
    env.fastForwardBy(2);
    pf::Reachability::setOverride(pf::Reachability::Status::NotReachable);
    env.runUntilIdle();
    before = uploads().size();
    if (!kit()->window()) {
        ASSERT_TRUE(session->setUserHeadpic(picture(600, 600), std::nullopt));
    }
    env.fastForwardBy(0.05);
    ASSERT_TRUE(driver.tap(screen()->selectButton()));
    env.fastForwardBy(0.02);
    EXPECT_EQ(screen()->notify()->text(), std::optional<std::string>(SetHeadImageViewController::kNetworkProblem));
    EXPECT_EQ(uploads().size(), before);
}

TEST_F(AvatarTest, TheNickStaysShownHoweverLateTheScreenLoads)
{
    // 30 letters show as 23 and "…", never shorter, whenever the screen's view loads.
    const std::string nick(30, 'n');
    const std::string shown = std::string(23, 'n') + "…";
    auto userInfo = std::make_shared<APIResponse>();
    userInfo->jsonResponse = pf::Value(pf::Dictionary { { "ret", 0 }, { "nickname", nick } });
    struct Case {
        std::string name;
        bool hosted;
        bool nickKnown; // else the user-info reply brings it while the screen waits
        double loadAfter; // seconds from the request to the view's load
    };
    const std::vector<Case> cases {
        { "a reply before a host shows the screen", true, false, 0.5 },
        { "own window", false, true, 0 },
        { "a host shows it at once", true, true, 0 },
        { "a host shows it after the hand-over", true, true, 0.5 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.nickKnown)
            session->scriptServices()->getUserInfoNotUserResponse(userInfo);
        ASSERT_EQ(session->userNick().empty(), !c.nickKnown);
        std::shared_ptr<pf::ViewController> given;
        ASSERT_TRUE(c.hosted ? session->setUserHeadpicAndViewController(picture(600, 600), std::nullopt, given)
                             : session->setUserHeadpic(picture(600, 600), std::nullopt));
        auto opened = c.hosted ? std::dynamic_pointer_cast<SetHeadImageViewController>(given) : screen();
        ASSERT_TRUE(opened);
        if (!c.nickKnown) {
            env.fastForwardBy(0.2);
            session->scriptServices()->getUserInfoNotUserResponse(userInfo);
        }
        env.fastForwardBy(c.loadAfter);
        opened->view();
        env.fastForwardBy(0.2);
        ASSERT_TRUE(opened->nickLabel());
        EXPECT_EQ(opened->nickLabel()->text(), shown);
        opened->setNick(opened->nick());
        EXPECT_EQ(opened->nickLabel()->text(), shown) << "given again, the shown nick is not cut further";
        opened->cancelBtnClick();
        env.fastForwardBy(0.2);
        EXPECT_FALSE(kit()->window());
    }
}

TEST_F(AvatarTest, WhileTheDialogIsOpenASecondOneIsRefused)
{
    ASSERT_TRUE(session->setUserHeadpic(picture(600, 400), std::nullopt));
    env.fastForwardBy(0.05);
    auto open = screen();
    ASSERT_TRUE(open && open->image());
    for (bool hosted : { true, false }) {
        SCOPED_TRACE(hosted ? "for a host" : "in its own window");
        std::shared_ptr<pf::ViewController> given;
        bool answer = hosted ? session->setUserHeadpicAndViewController(picture(300, 500), std::nullopt, given)
                             : session->setUserHeadpic(picture(300, 500), std::nullopt);
        EXPECT_FALSE(answer);
        EXPECT_FALSE(given);
        env.fastForwardBy(0.2);
        // The open screen keeps its picture, and nothing waits for a host.
        EXPECT_EQ(screen(), open);
        EXPECT_EQ(open->image()->size().width, 600);
        EXPECT_FALSE(kit()->headImageViewController());
    }
    ASSERT_TRUE(driver.tapText(SetHeadImageViewController::kCancelTitle));
    env.fastForwardBy(0.2);
    std::shared_ptr<pf::ViewController> given;
    EXPECT_TRUE(session->setUserHeadpicAndViewController(picture(300, 500), std::nullopt, given));
    EXPECT_TRUE(given);
}

TEST_F(AvatarTest, NickNamesAreCutOnWholeCharactersAndReachOnlyTheCropScreen)
{
    const std::string emoji = "\xF0\x9F\x98\x80"; // one character of two UTF-16 units
    struct Case {
        std::string nick;
        std::string shown;
    };
    const std::vector<Case> cases {
        { std::string(30, 'a'), std::string(23, 'a') + "…" },
        { std::string(24, 'b'), std::string(24, 'b') },
        { "一二三四五六七八九十一二", "一二三四五六七八九十一二" },
        { "一二三四五六七八九十一二三", "一二三四五六七八九十一…" },
        { std::string(20, 'c') + emoji + "xyz", std::string(20, 'c') + "…" },
        { std::string(19, 'd') + emoji + "xyz", std::string(19, 'd') + emoji + "…" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetHeadImageViewController::stringByMROSDKTruncateWithDotAtLimit(24, c.nick), c.shown) << c.nick;
    EXPECT_FALSE(SetHeadImageViewController::stringByMROSDKTruncateWithDotAtLimit(24, std::nullopt));

    // The dialog opens before the nick is known; the user-info reply brings it to the screen.
    ASSERT_TRUE(session->setUserHeadpic(picture(600, 600), std::nullopt));
    env.fastForwardBy(0.05);
    EXPECT_FALSE(screen()->nick());
    auto reply = std::make_shared<APIResponse>();
    reply->jsonResponse = pf::Value(pf::Dictionary { { "ret", 0 }, { "nickname", "&lt;小明&gt;" } });
    session->scriptServices()->getUserInfoNotUserResponse(reply);
    EXPECT_EQ(screen()->nick(), std::optional<std::string>("<小明>"));
    EXPECT_EQ(screen()->nickLabel()->text(), "<小明>");
    EXPECT_EQ(session->userNick(), "<小明>");
}

}
