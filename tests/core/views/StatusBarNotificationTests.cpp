#include "ViewsTestSupport.h"

#include "core/views/StatusBarNotification.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"

namespace {

class Banner : public ViewsTest {
protected:
    Banner() { StatusBarNotification::reset(); }
    ~Banner() override { StatusBarNotification::reset(); }

    // The banner window's dump, or "" when it is not on screen.
    std::string bannerDump() const
    {
        std::string all = driver.dump();
        auto at = all.find("level=1001");
        if (at == std::string::npos)
            return "";
        return all.substr(all.rfind('\n', at) == std::string::npos ? 0 : all.rfind('\n', at) + 1);
    }

    pf::Driver driver;
};

}

TEST_F(Banner, BannersSlideInOneAtATimeStayThreeSecondsAndSlideOut)
{
    StatusBarNotification::notificationWithMessage("first");
    StatusBarNotification::notificationWithMessage("second <b>as written</b>");

    auto window = StatusBarNotification::shared()->notificationView();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowLevel(), pf::WindowLevel::StatusBar + 1);
    EXPECT_EQ(bannerDump(),
        "Window frame=(0,0,320,20) level=1001\n"
        "  StatusBarNotification frame=(0,0,320,20) bg=#FFFFFF\n"
        "    Label frame=(12,0,296,20) text=\"first\" outlet=label2\n");

    // Half-way through the slide the window is half down.
    driver.advance(StatusBarNotification::kSlideDuration / 2);
    double centreY = window->layer().presentationPosition().y;
    EXPECT_GT(centreY, -10.0);
    EXPECT_LT(centreY, 10.0);

    // Shown until 0.5 + 3.0 s, then it slides up; the second one follows it, never beside it.
    driver.advance(3.5 - StatusBarNotification::kSlideDuration / 2 - 0.01);
    EXPECT_NE(bannerDump().find("Window frame=(0,0,320,20)"), std::string::npos);
    EXPECT_EQ(bannerDump().find("second"), std::string::npos);
    driver.advance(0.01);
    EXPECT_NE(bannerDump().find("Window frame=(0,-20,320,20)"), std::string::npos);
    EXPECT_NE(bannerDump().find("\"first\""), std::string::npos);

    driver.advance(StatusBarNotification::kSlideDuration);
    EXPECT_EQ(bannerDump().find("first"), std::string::npos);
    EXPECT_NE(bannerDump().find("Window frame=(0,0,320,20)"), std::string::npos);
    EXPECT_NE(bannerDump().find("text=\"second <b>as written</b>\""), std::string::npos);

    driver.advance(4.0);
    EXPECT_EQ(bannerDump(), "");
    EXPECT_TRUE(StatusBarNotification::shared()->messageQueue().empty());
    EXPECT_FALSE(StatusBarNotification::shared()->isShowingNotification());

    // A banner after a quiet spell comes back on the same window.
    StatusBarNotification::notificationWithMessage("third");
    EXPECT_NE(bannerDump().find("\"third\""), std::string::npos);
}

TEST_F(Banner, ViewsOfAnyKindQueueBehindMessages)
{
    auto custom = std::make_shared<pf::Label>(pf::Rect { 0, 0, 320, 44 });
    custom->setText("custom");
    StatusBarNotification::notificationWithMessage("message");
    StatusBarNotification::notificationWithView(custom);
    StatusBarNotification::notificationWithView(nullptr);
    EXPECT_EQ(StatusBarNotification::shared()->messageQueue().size(), 2u);

    driver.advance(4.0);
    // The window takes the height of the view it shows.
    EXPECT_NE(bannerDump().find("Window frame=(0,0,320,44)"), std::string::npos);
    EXPECT_NE(bannerDump().find("\"custom\""), std::string::npos);
}
