#include "core/managers/AppointmentManager.h"
#include "core/managers/ReminderManager.h"
#include "core/views/StatusBarNotification.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/UIEnvironment.h"
#include "tools/portal/PortalCatalog.h"

#include <gtest/gtest.h>

using Status = DataBaseManager::Status;

namespace {

class Bookings : public ::testing::Test {
protected:
    Bookings()
    {
        pf::UIEnvironment::reset();
        StatusBarNotification::reset();
    }
    ~Bookings() override
    {
        ReminderManager::sharedInstance()->stopTimer();
        StatusBarNotification::reset();
        pf::UIEnvironment::reset();
    }

    // Books a gift opening at `startTime`, one second after the previous booking.
    void book(const std::string& title, double startTime)
    {
        auto g = std::make_shared<GiftDetailInfo>();
        g->setFid(++m_nextFid);
        g->setTitle(title);
        g->setStartTime(static_cast<int>(startTime));
        ASSERT_EQ(AppointmentManager::sharedInstance()->addGiftAppointment(*g), Status::Ok);
        env.fastForwardBy(1);
    }

    // The messages of the banners queued so far (shown or waiting), oldest first.
    static std::vector<std::string> banners()
    {
        std::vector<std::string> texts;
        for (const auto& view : StatusBarNotification::shared()->messageQueue()) {
            auto banner = std::dynamic_pointer_cast<StatusBarNotification>(view);
            texts.push_back(banner && banner->label2() ? banner->label2()->text() : "?");
        }
        return texts;
    }

    pf::TaskEnvironment env;
    int m_nextFid { 0 };
};

std::vector<int> fidsOf(const GiftDetailInfo::List& list)
{
    std::vector<int> fids;
    for (const auto& g : list)
        fids.push_back(g->fid());
    return fids;
}

}

TEST_F(Bookings, PurgeRemovesExactlyTheBookingsThatOpenedMoreThanADayAgo)
{
    const double now = env.now();
    book("older", now - 86401);
    book("a day", now - 86400);
    book("younger", now - 86399);
    env.clock().setNow(now);

    ASSERT_EQ(AppointmentManager::sharedInstance()->removeOutDateAppointment(), Status::Ok);
    auto list = AppointmentManager::sharedInstance()->allAppointmentInfo();
    ASSERT_TRUE(list);
    EXPECT_EQ(fidsOf(*list), (std::vector<int> { 3, 2 }));

    // Half a second later the booking that opened exactly a day before is more than a day old.
    env.clock().setNow(now + 0.5);
    ASSERT_EQ(AppointmentManager::sharedInstance()->removeOutDateAppointment(), Status::Ok);
    list = AppointmentManager::sharedInstance()->allAppointmentInfo();
    ASSERT_TRUE(list);
    EXPECT_EQ(fidsOf(*list), (std::vector<int> { 3 }));
}

TEST_F(Bookings, EveryGiftInTheWindowIsAnnouncedOnThePassOnlyEarliestBookingFirst)
{
    const double pass = env.now() + 10 + ReminderManager::kInterval;
    book("A", pass + 180);   // the window's far edge belongs to it
    book("B", pass + 120);   // the near edge does not
    book("C", pass + 150);
    book("D", pass + 181);
    book("E", pass + 121);
    book("F", pass + 180.5); // stored as whole seconds: 180
    env.clock().setNow(pass - ReminderManager::kInterval);
    ReminderManager::sharedInstance()->startReminider();

    env.fastForwardBy(ReminderManager::kInterval - 0.001);
    EXPECT_TRUE(banners().empty()) << "announced before the pass";
    env.fastForwardBy(0.001);
    EXPECT_EQ(banners(), (std::vector<std::string> { "A等即将可以开始领取了.", "C等即将可以开始领取了.",
                             "E等即将可以开始领取了.", "F等即将可以开始领取了." }));

    // The next passes find them out of the window (and the banners have long gone).
    env.fastForwardBy(2 * ReminderManager::kInterval);
    EXPECT_TRUE(banners().empty());
}

TEST_F(Bookings, StartingTwiceKeepsOneTimerAndStoppingEndsThePasses)
{
    auto reminder = ReminderManager::sharedInstance();
    reminder->startReminider();
    reminder->startReminider();
    reminder->startTimer();
    EXPECT_TRUE(reminder->isRunning());
    const double pass = env.now() + ReminderManager::kInterval;
    book("once", pass + 150);
    env.fastForwardBy(ReminderManager::kInterval - 1);
    EXPECT_EQ(banners().size(), 1u);

    reminder->stopTimer();
    EXPECT_FALSE(reminder->isRunning());
    book("never", env.now() + 150 + ReminderManager::kInterval);
    env.fastForwardBy(10 * ReminderManager::kInterval);
    EXPECT_TRUE(banners().empty());
}

TEST_F(Bookings, TwoGiftsInOnePassShowTwoBannersOneAfterTheOtherOnScreen)
{
    const double pass = env.now() + 2 + ReminderManager::kInterval;
    book("甲", pass + 150);
    book("乙", pass + 130);
    ReminderManager::sharedInstance()->startReminider();
    pf::Driver driver;
    const std::string first = "text=\"甲等即将可以开始领取了.\"";
    const std::string second = "text=\"乙等即将可以开始领取了.\"";

    driver.advance(pass - env.now() - 0.01);
    EXPECT_EQ(driver.dump().find("即将"), std::string::npos);
    driver.advance(0.01);
    std::string screen = driver.dump();
    EXPECT_NE(screen.find(first), std::string::npos) << screen;
    EXPECT_EQ(screen.find(second), std::string::npos) << screen;

    // 0.5 s in, 3 s shown, 0.5 s out: then the second one.
    driver.advance(4.0);
    screen = driver.dump();
    EXPECT_EQ(screen.find(first), std::string::npos) << screen;
    EXPECT_NE(screen.find(second), std::string::npos) << screen;

    driver.advance(4.0);
    EXPECT_EQ(driver.dump().find("即将"), std::string::npos);
}

TEST_F(Bookings, APassThatRunsLateNeitherMissesNorRepeatsAGift)
{
    const double pass = env.now() + ReminderManager::kInterval; // the first, on time
    book("C", pass + 150);
    book("A", pass + 200); // between the first pass's window and a late second pass's
    book("B", pass + 250); // in both a late second pass's window and the third's
    env.clock().setNow(pass - ReminderManager::kInterval);
    ReminderManager::sharedInstance()->startReminider();

    env.fastForwardBy(ReminderManager::kInterval);
    EXPECT_EQ(banners(), (std::vector<std::string> { "C等即将可以开始领取了." }));
    env.fastForwardBy(10); // the banner goes
    ASSERT_TRUE(banners().empty());
    // The main loop is busy until 30 s past the next pass, which runs as soon as it is free.
    env.clock().advance(80);
    env.runUntilIdle();
    EXPECT_EQ(banners(), (std::vector<std::string> { "A等即将可以开始领取了.", "B等即将可以开始领取了." }));
    env.fastForwardBy(10); // the banners go
    ASSERT_TRUE(banners().empty());
    env.fastForwardBy(3 * ReminderManager::kInterval);
    EXPECT_TRUE(banners().empty());
}

TEST_F(Bookings, TheSamplePortalsLaterGiftIsAnnouncedWithinTheFirstMinutesOfALaunch)
{
    // The app launched at once after the portal (as scripts/run does) or a while later, the gift
    // booked at once: its banner shows within the first two minutes.
    for (double launchedAfter : { 0.0, 1.5, 45.0, 110.0 }) {
        SCOPED_TRACE(launchedAfter);
        ReminderManager::sharedInstance()->stopTimer();
        StatusBarNotification::reset();
        const auto portalStart = static_cast<long long>(env.now());
        const portal::PortalCatalog catalog(portalStart);
        const portal::Gift* later = nullptr;
        for (const auto& gift : catalog.gifts)
            if (!later && gift.startTime > portalStart)
                later = &gift;
        ASSERT_TRUE(later);
        EXPECT_EQ(later->startTime, portalStart + portal::PortalCatalog::kReminderGiftOpensIn);
        env.fastForwardBy(launchedAfter);
        ReminderManager::sharedInstance()->startReminider();
        book(later->title, static_cast<double>(later->startTime));

        std::vector<std::string> seen;
        for (int pass = 0; pass < 2 && seen.empty(); ++pass) {
            env.fastForwardBy(ReminderManager::kInterval);
            seen = banners();
        }
        EXPECT_EQ(seen, (std::vector<std::string> { later->title + "等即将可以开始领取了." }));
        env.fastForwardBy(static_cast<double>(later->startTime) - env.now() + 10); // it opens, and is announced no more
    }
}

namespace {

// The device's date moved by the parameter (seconds) between two passes of the reminder.
class BookingsAcrossADateChange : public Bookings, public ::testing::WithParamInterface<double> { };

}

TEST_P(BookingsAcrossADateChange, NoReminderIsSilencedOrRepeated)
{
    const double firstPass = env.now() + 2 + ReminderManager::kInterval;
    const double changedAt = firstPass + 10;
    const double changedDate = changedAt + GetParam();
    const double before = firstPass + 170; // announced by the first pass
    const double after = changedDate + 300; // a few minutes after the moved date
    book("before", before);
    book("after", after);
    env.clock().setNow(firstPass - ReminderManager::kInterval);
    ReminderManager::sharedInstance()->startReminider();
    env.fastForwardBy(ReminderManager::kInterval);
    EXPECT_EQ(banners(), (std::vector<std::string> { "before等即将可以开始领取了." }));
    env.fastForwardBy(changedAt - firstPass);
    env.clock().setNow(changedDate);

    // Pass after pass, until both have opened by the device's date (an hour back: "before" comes
    // into the window again): each banner shows once, two to three minutes before its gift opens
    // by the date the device shows.
    std::vector<std::string> announced;
    double toNextPass = ReminderManager::kInterval - (changedAt - firstPass);
    while (env.now() < std::max(before, after) + ReminderManager::kWindowEnd) {
        env.fastForwardBy(toNextPass);
        toNextPass = ReminderManager::kInterval;
        for (const auto& text : banners()) {
            announced.push_back(text);
            const double opensIn = (text.rfind("after", 0) == 0 ? after : before) - env.now();
            EXPECT_GT(opensIn, ReminderManager::kWindowStart) << text;
            EXPECT_LE(opensIn, ReminderManager::kWindowEnd) << text;
        }
    }
    EXPECT_EQ(announced, (std::vector<std::string> { "after等即将可以开始领取了." }));
}

INSTANTIATE_TEST_SUITE_P(DateMoves, BookingsAcrossADateChange,
    ::testing::Values(-3600.0, // back an hour: the far edge announced so far lies ahead of the new date
        -30.0,                 // back half a minute: the next window overlaps the one announced
        3600.0, 86400.0));     // forward
