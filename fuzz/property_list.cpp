// Property lists, binary and XML, into the platform's value type, read whole and by entries (as
// the stores read their files). What reads and can be written must read back to what was read,
// in both formats; reading by entries leaves nothing out of a list that reads whole, and reads
// it the same.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/PropertyList.h"

#include <cstdlib>

namespace {

constexpr double kSince2001 = 978307200.0;

void checkRoundTrip(const pf::Value& value, pf::PropertyList::Format format)
{
    auto written = pf::PropertyList::write(value, format);
    if (!written)
        return; // null values and dates beyond the format's range are refused, not changed
    auto back = pf::PropertyList::parse(*written);
    // Dates are kept to the microsecond (at worst one short), but to the second in XML and before
    // 2001.
    auto dateSlack = [format](double t) {
        return format == pf::PropertyList::Format::Xml || t < kSince2001 ? 1.0 : 2e-6;
    };
    if (!back || !fuzz::sameValue(value, *back, dateSlack))
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    pf::Bytes input = fuzz::bytes(data, size);
    auto value = pf::PropertyList::parse(input);
    if (value) {
        checkRoundTrip(*value, pf::PropertyList::Format::Binary);
        checkRoundTrip(*value, pf::PropertyList::Format::Xml);
    }
    for (int level : { 1, 2 }) {
        size_t leftOut = 0;
        auto entries = pf::PropertyList::parseEntries(input, level, &leftOut);
        if (value && (!entries || leftOut != 0 || !fuzz::sameValue(*entries, *value, [](double) { return 0.0; })))
            std::abort();
        if (entries && !value) {
            checkRoundTrip(*entries, pf::PropertyList::Format::Binary);
            checkRoundTrip(*entries, pf::PropertyList::Format::Xml);
        }
    }
    return 0;
}
