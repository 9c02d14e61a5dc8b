#include "core/views/DateConverter.h"

#include "platform/foundation/DateFormatter.h"

std::string DateConverter::dateFromUNIXTime(double seconds)
{
    return pf::DateFormatter("yyyy-MM-dd HH:mm").string(seconds);
}

std::string DateConverter::date1FromUNIXTime(double seconds)
{
    return pf::DateFormatter("MM月dd日").string(seconds);
}

std::string DateConverter::date2FromUNIXTime(double seconds)
{
    return pf::DateFormatter("yyyy-MM-dd").string(seconds);
}
