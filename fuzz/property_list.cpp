// Property lists, binary and XML, into the platform's value type. What reads and can be
// written must read back to what was read, in both formats.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/AsciiText.h"
#include "platform/foundation/PropertyList.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr double kSince2001 = 978307200.0;

// Equal, except that dates may differ as far as the format keeps them (a microsecond in
// binary, a second in XML and before 2001) and any NaN equals any other.
bool sameValue(const pf::Value& a, const pf::Value& b, pf::PropertyList::Format format)
{
    auto dateA = a.asDate();
    auto dateB = b.asDate();
    if (dateA || dateB) {
        if (!dateA || !dateB)
            return false;
        double t = dateA->secondsSince1970;
        bool toTheSecond = format == pf::PropertyList::Format::Xml || t < kSince2001;
        return std::fabs(t - dateB->secondsSince1970) <= (toTheSecond ? 1.0 : 2e-6);
    }
    const pf::Array* arrayA = a.asArray();
    const pf::Array* arrayB = b.asArray();
    if (arrayA || arrayB) {
        if (!arrayA || !arrayB || arrayA->size() != arrayB->size())
            return false;
        for (size_t i = 0; i < arrayA->size(); ++i)
            if (!sameValue((*arrayA)[i], (*arrayB)[i], format))
                return false;
        return true;
    }
    const pf::Dictionary* dictionaryA = a.asDictionary();
    const pf::Dictionary* dictionaryB = b.asDictionary();
    if (dictionaryA || dictionaryB) {
        if (!dictionaryA || !dictionaryB || dictionaryA->size() != dictionaryB->size())
            return false;
        for (const auto& [key, item] : *dictionaryA) {
            const pf::Value* other = dictionaryB->find(key);
            if (!other || !sameValue(item, *other, format))
                return false;
        }
        return true;
    }
    auto realA = a.asReal();
    auto realB = b.asReal();
    if (realA && realB && std::isnan(*realA) && std::isnan(*realB))
        return true;
    return a == b;
}

// Texts that are not UTF-8 or hold a NUL (which raw in XML gets past the reader) come out of
// the writer cut short (a NUL in both forms); a known limit of the writer, left out of the check until it is
// mended.
bool cutByTheWriter(const std::string& text)
{
    return !pf::AsciiText::isValidUtf8(text) || text.find('\0') != std::string::npos;
}

bool holdsTextTheWriterCuts(const pf::Value& value)
{
    if (const std::string* text = value.asString())
        return cutByTheWriter(*text);
    if (const pf::Array* array = value.asArray()) {
        for (const auto& item : *array)
            if (holdsTextTheWriterCuts(item))
                return true;
    }
    if (const pf::Dictionary* dictionary = value.asDictionary()) {
        for (const auto& [key, item] : *dictionary)
            if (cutByTheWriter(key) || holdsTextTheWriterCuts(item))
                return true;
    }
    return false;
}

void checkRoundTrip(const pf::Value& value, pf::PropertyList::Format format)
{
    if (holdsTextTheWriterCuts(value))
        return;
    auto written = pf::PropertyList::write(value, format);
    if (!written)
        return; // null values and dates beyond the format's range are refused, not changed
    auto back = pf::PropertyList::parse(*written);
    if (!back || !sameValue(value, *back, format))
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
