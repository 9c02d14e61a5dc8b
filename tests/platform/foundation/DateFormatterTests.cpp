#include "platform/foundation/DateFormatter.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <limits>

using namespace pf;

// The app's own date patterns are checked where the app formats its dates.
TEST(DateFormatter, PatternFieldsAndQuotesInTheDevicesTimeZone)
{
    TaskEnvironment env; // China time
    double may1 = 1398907800; // 2014-05-01 09:30 in China
    EXPECT_EQ(DateFormatter("M/d h:mm a 'at' ''yy''").string(may1 + 5 * 3600 + 0.25), "5/1 2:30 PM at '14'");
    EXPECT_EQ(DateFormatter("HH:mm:ss.SSS Z D").string(may1 + 0.25), "09:30:00.250 +0800 121");

    DateFormatter::setLocalTimeZone("UTC");
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm").string(may1), "2014-05-01 01:30");
}

TEST(DateFormatter, TimesBeyondTheCalendarPrintNothing)
{
    TaskEnvironment env;
    DateFormatter formatter("yyyy-MM-dd HH:mm:ss.SSS");
    EXPECT_EQ(formatter.string(DateFormatter::kMaxSeconds), "318857-05-21 01:46:40.000");
    EXPECT_FALSE(formatter.string(-DateFormatter::kMaxSeconds).empty());
    for (double t : { std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
             std::nextafter(DateFormatter::kMaxSeconds, 1e300), -1.5e13, 6.8e16, 1e19, -1e19, 1e300, -1e300 }) {
        EXPECT_EQ(formatter.string(t), "") << t;
        EXPECT_FALSE(DateFormatter::localFields(t)) << t;
    }
}

TEST(DateFormatter, ZonesFollowTheirRulesWithoutTouchingTheEnvironment)
{
    TaskEnvironment env;
    DateFormatter formatter("yyyy-MM-dd HH:mm Z");
    DateFormatter::setLocalTimeZone("Europe/Berlin");
    EXPECT_EQ(formatter.string(1719835200), "2024-07-01 14:00 +0200"); // summer time
    EXPECT_EQ(formatter.string(1704110400), "2024-01-01 13:00 +0100");
    EXPECT_EQ(formatter.string(2856261600), "2060-07-05 16:00 +0200"); // beyond the zone file's table
    EXPECT_EQ(formatter.string(2840374800), "2060-01-03 18:00 +0100");
    DateFormatter::setLocalTimeZone("Asia/Shanghai");
    EXPECT_EQ(formatter.string(2856261600), "2060-07-05 22:00 +0800"); // its summer time ended in 1991
    for (const char* bad : { "No/Such_Zone", "../../etc/passwd", "/etc/localtime", "" }) {
        DateFormatter::setLocalTimeZone(bad);
        EXPECT_EQ(DateFormatter::localTimeZoneName(), "UTC") << bad;
    }

    // Formatting on one thread while another switches zones.
    DateFormatter::setLocalTimeZone("Europe/Berlin");
    std::atomic<bool> stop { false };
    std::thread switcher([&] {
        for (int i = 0; !stop.load(); ++i)
            DateFormatter::setLocalTimeZone(i % 2 ? "Asia/Shanghai" : "Europe/Berlin");
    });
    for (int i = 0; i < 2000; ++i) {
        auto text = formatter.string(1719835200);
        EXPECT_TRUE(text == "2024-07-01 14:00 +0200" || text == "2024-07-01 20:00 +0800") << text;
    }
    stop = true;
    switcher.join();
}
