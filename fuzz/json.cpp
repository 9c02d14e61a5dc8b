// JSON text into the platform's value type. What parses must write out and parse again to the
// same text: the writer may never produce something the reader refuses or reads differently.
#include "fuzz/support/FuzzSupport.h"
#include "platform/foundation/Json.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::prepareProcess();
    auto value = pf::Json::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!value)
        return 0;
    std::string written = pf::Json::write(*value);
    pf::Json::write(*value, true);
    auto again = pf::Json::parse(written);
    if (!again || pf::Json::write(*again) != written)
        std::abort();
    return 0;
}
