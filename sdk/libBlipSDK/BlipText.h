#pragma once

#include "platform/foundation/TextEncoding.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace blip {

// Text measures and escaping of the Blip client. Lengths count UTF-16 units, as the Blip app
// does; texts are UTF-8.
class BlipText {
public:
    static size_t utf16Length(std::string_view text);
    // The share-text measure: blanks and ASCII count half a unit each (rounded up over the
    // whole text), every other UTF-16 unit counts one; a text of blanks only counts 0.
    static size_t wordCount(std::string_view text);
    // A query value: UTF-8, with "!*'();:@&=+$,/?%#[]" escaped as well.
    static std::string escapeQueryValue(std::string_view text);
    // Escapes everything but letters, digits and "-_.~", characters outside ASCII (U+FFFC among
    // them) as the bytes of their encoding in `encoding`; none when the text cannot be written
    // in it.
    static std::optional<std::string> urlEncodedStringWithCFStringEncoding(std::string_view text,
        pf::TextEncoding::Charset encoding);
    // The same in UTF-8; none only for text that is not UTF-8.
    static std::optional<std::string> urlEncodedString(std::string_view text);
    // Whether the bytes are well-formed UTF-8.
    static bool isUtf8(std::string_view bytes);
    // The text with the UTF-16 range [location, location + length) replaced; none when the range
    // does not lie within the text or cuts a character in two.
    static std::optional<std::string> stringByReplacingRangeWith(std::string_view text, size_t location, size_t length,
        std::string_view replacement);
    // Without white space and line ends (of any script) at both ends.
    static std::string trimmedString(std::string_view text);
    // Removes percent escapes; none when they do not form UTF-8.
    static std::optional<std::string> unescape(std::string_view text);
};

}
