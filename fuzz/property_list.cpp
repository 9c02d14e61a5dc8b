// Property lists, binary and XML, into the platform's value type. What reads and can be
// written must read back to what was read, in both formats.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/PropertyList.h"

#include <cstdlib>

namespace {

void checkRoundTrip(const pf::Value& value, pf::PropertyList::Format format)
{
    using Format = pf::PropertyList::Format;
    auto written = pf::PropertyList::write(value, format);
    if (!written)
        return; // null values and dates beyond the XML form's range are refused, not changed
    auto back = pf::PropertyList::parse(*written);
    // Dates are exact in the binary form; the XML text holds the nearest second.
    if (!back || !fuzz::sameValue(value, *back, format == Format::Xml ? 0.5 : 0))
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
