#pragma once

#include "platform/foundation/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pf {

// Checks and conversions of text encodings. Texts in the program are UTF-8; bytes from the
// outside are checked or converted before they are used as text.
//
// Rules:
// - UTF-8 is strict: no overlong forms, no surrogates, nothing past U+10FFFF, no cut sequence.
// - A conversion that meets a byte sequence the source encoding does not define fails as a
//   whole (nullopt); nothing is replaced or dropped.
class TextEncoding {
public:
    // The encodings text from the outside may come in.
    enum class Charset { Utf8, GB18030 };

    static bool isValidUtf8(std::string_view bytes);
    static bool isValidUtf8(const Bytes& bytes);
    // The length of the UTF-8 character that starts at byte `i` of `s` (a NUL counts as one),
    // or 0 when no character starts there.
    static size_t utf8CharacterLength(std::string_view s, size_t i);
    // Whether `text` can be a text or key of a stored file (a property list, a keyed archive)
    // and read back as it is: UTF-8 as above, holding no NUL character. Readers take any other
    // text as damaged and writers refuse it, since the file formats would cut it short or alter
    // it. One pass, nothing allocated.
    static bool isNulFreeUtf8(std::string_view text);
    // `text` without its NUL characters, the rest as it was: for a text from outside (JSON may
    // carry "\u0000") that is to be stored where a NUL cannot be kept.
    static std::string withoutNul(std::string_view text);
    // `text` as UTF-8 with nothing dropped or replaced: each byte that is no part of a
    // character (as the rules above read it) is written as the four characters "\xHH"
    // (upper-case hex), the rest as it was. A UTF-8 text comes back unchanged. For a text
    // from outside that must go where only UTF-8 fits, such as a report's JSON.
    static std::string withEscapedBytes(std::string_view text);
    // `text` cut to at most `maxBytes` bytes where a character ends, so a cut never leaves the
    // first bytes of a character behind (bytes that are not UTF-8 are cut where they fall).
    // Allocates and calls nothing: a crash handler may use it.
    static std::string_view utf8Prefix(std::string_view text, std::size_t maxBytes);

    // GB18030 (a superset of GBK and GB2312) to UTF-8, through iconv.
    static std::optional<std::string> decodeGB18030(std::string_view bytes);
    static std::optional<std::string> decodeGB18030(const Bytes& bytes);
    // UTF-8 to GB18030 (for tests and peers that answer in that encoding).
    static std::optional<std::string> encodeGB18030(std::string_view utf8);

    // Bytes in `charset` as UTF-8 text; none when they are not text in it.
    static std::optional<std::string> decode(std::string_view bytes, Charset charset);
    // UTF-8 text as bytes in `charset`; none when the text is not UTF-8 or holds a character the
    // charset cannot write.
    static std::optional<std::string> encode(std::string_view utf8, Charset charset);
};

}
