#include "platform/foundation/DateFormatter.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
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
