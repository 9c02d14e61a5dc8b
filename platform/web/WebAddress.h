#pragma once

#include <string>
#include <string_view>

namespace pf {

// Addresses as a page writes them. An address with a scheme is used exactly as written (its
// host keeps its case, nothing is normalised), so what a delegate is asked about is what the
// page said; only references without a scheme are resolved against the document's address.
class WebAddress {
public:
    // `reference` resolved against `base` (relative references, "//host", "/path", "?q",
    // "#f"); a reference with a scheme, or any reference when `base` has no authority, comes
    // back as written (surrounding blanks removed).
    static std::string resolve(std::string_view base, std::string_view reference);
    // The scheme in lower case ("" when none).
    static std::string scheme(std::string_view address);
    static bool isRemote(std::string_view address); // http or https
    // Whether both addresses have the same scheme, host (ignoring case) and port.
    static bool sameOrigin(std::string_view a, std::string_view b);
    // application/x-www-form-urlencoded text of one name or value.
    static std::string formEncode(std::string_view text);
};

}
