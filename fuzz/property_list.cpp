// Property lists, binary and XML, into the platform's value type. What reads and can be
// written must read back to what was read, in both formats (XML holds dates to the second).
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/PropertyList.h"

#include <cmath>
#include <cstdlib>

namespace {

pf::Value withWholeSecondDates(const pf::Value& value)
{
    if (auto date = value.asDate())
        return pf::Value(pf::Date { std::floor(date->secondsSince1970) });
    if (const pf::Array* array = value.asArray()) {
        pf::Array out;
        for (const auto& item : *array)
            out.push_back(withWholeSecondDates(item));
        return pf::Value(std::move(out));
    }
    if (const pf::Dictionary* dictionary = value.asDictionary()) {
        pf::Dictionary out;
        for (const auto& [key, item] : *dictionary)
            out.set(key, withWholeSecondDates(item));
        return pf::Value(std::move(out));
    }
    return value;
}

void checkRoundTrip(const pf::Value& value, pf::PropertyList::Format format)
{
    auto written = pf::PropertyList::write(value, format);
    if (!written)
        return; // null values and dates beyond the format's range are refused, not changed
    auto back = pf::PropertyList::parse(*written);
    pf::Value expected = format == pf::PropertyList::Format::Xml ? withWholeSecondDates(value) : value;
    if (!back || !(*back == expected))
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    auto value = pf::PropertyList::parse(fuzz::bytes(data, size));
    if (!value)
        return 0;
    checkRoundTrip(*value, pf::PropertyList::Format::Binary);
    checkRoundTrip(*value, pf::PropertyList::Format::Xml);
    return 0;
}
