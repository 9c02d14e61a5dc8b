#include "platform/foundation/DateFormatter.h"
#include "platform/testing/TaskEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pf;

TEST(DateFormatter, ThePatternsOfTheScreensInTheDevicesTimeZone)
{
    TaskEnvironment env; // China time
    EXPECT_EQ(DateFormatter::localTimeZoneName(), "Asia/Shanghai");
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm").string(0), "1970-01-01 08:00");
    double may1 = 1398907800; // 2014-05-01 09:30 in China
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm").string(may1), "2014-05-01 09:30");
    EXPECT_EQ(DateFormatter("MM月dd日").string(may1), "05月01日");
    EXPECT_EQ(DateFormatter("yyyy-MM-dd").string(may1), "2014-05-01");
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
