// Property lists, binary and XML, into the platform's value type, read whole and by entries (as
// the stores read their files). What reads and can be written must read back to what was read,
// in both formats; reading by entries leaves nothing out of a list that reads whole, and reads
// it the same, and so does reading it as another app's reply (lone surrogates as U+FFFD), which
// reads a list the whole reading refused only as texts the writers take.
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
    pf::Bytes input = fuzz::bytes(data, size);
    auto value = pf::PropertyList::parse(input);
    if (value) {
        checkRoundTrip(*value, pf::PropertyList::Format::Binary);
        checkRoundTrip(*value, pf::PropertyList::Format::Xml);
    }
    auto reply = pf::PropertyList::parse(input, nullptr, nullptr, pf::LoneSurrogates::Replace);
    if (value && (!reply || !fuzz::sameValue(*reply, *value, 0)))
        std::abort();
    if (reply && !value) {
        checkRoundTrip(*reply, pf::PropertyList::Format::Binary);
        checkRoundTrip(*reply, pf::PropertyList::Format::Xml);
    }
    for (int level : { 1, 2 }) {
        size_t leftOut = 0;
        auto entries = pf::PropertyList::parseEntries(input, level, &leftOut);
        if (value && (!entries || leftOut != 0 || !fuzz::sameValue(*entries, *value, 0)))
            std::abort();
        if (entries && !value) {
            checkRoundTrip(*entries, pf::PropertyList::Format::Binary);
            checkRoundTrip(*entries, pf::PropertyList::Format::Xml);
        }
    }
    return 0;
}
