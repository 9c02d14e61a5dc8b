#pragma once

#include "platform/foundation/Value.h"

#include <string>
#include <string_view>

// Text helpers of the web sign-in's addresses.
class URLExtend {
public:
    // Without blanks and line ends at either end.
    static std::string trim(std::string_view text);
    // Escapes resolved first, then escaped once as UTF-8 with "!*'();:@&=+$,/?%#[]" too, so "a b"
    // and "a%20b" give the same text. A text with a broken escape is escaped as it stands.
    static std::string stringByEncodeUrl(std::string_view text);
    // The "name=value" pairs after the first `separator`, both unescaped; pieces without "=",
    // with an empty name or with a second "=" are skipped; a later name wins.
    static pf::Dictionary dictionaryByParseUrlFromSeparator(const std::string& text, const std::string& separator);
};
