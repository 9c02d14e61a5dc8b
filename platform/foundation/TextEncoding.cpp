#include "platform/foundation/TextEncoding.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace pf {

namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view input)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    size_t written = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        size_t outLeft = out.size() - written;
        size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (r != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (an undefined sequence) or EINVAL (a sequence cut at the end).
        ok = false;
        break;
    }
    if (ok) {
        // Flush any shift state.
        char* outPtr = out.data() + written;
        size_t outLeft = out.size() - written;
        if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1))
            ok = false;
        written = out.size() - outLeft;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(written);
    return out;
}

}

size_t TextEncoding::utf8CharacterLength(std::string_view s, size_t i)
{
    auto c = static_cast<unsigned char>(s[i]);
    size_t extra;
    std::uint32_t cp;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + extra >= s.size())
        return 0;
    for (size_t k = 1; k <= extra; ++k) {
        auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000)
        || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

namespace {

// One pass over `s`, allocating nothing: strict UTF-8, and no NUL unless `nulAllowed`.
bool scanUtf8(std::string_view s, bool nulAllowed)
{
    for (size_t i = 0; i < s.size();) {
        size_t length = TextEncoding::utf8CharacterLength(s, i);
        if (length == 0 || (s[i] == '\0' && !nulAllowed))
            return false;
        i += length;
    }
    return true;
}

}

bool TextEncoding::isValidUtf8(std::string_view s)
{
    return scanUtf8(s, true);
}

bool TextEncoding::isNulFreeUtf8(std::string_view text)
{
    return scanUtf8(text, false);
}

std::string TextEncoding::withoutNul(std::string_view text)
{
    // A zero byte is never part of a longer UTF-8 sequence, so only NULs go.
    std::string out(text);
    std::erase(out, '\0');
    return out;
}

std::string TextEncoding::withEscapedBytes(std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (size_t length = TextEncoding::utf8CharacterLength(text, i)) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        auto byte = static_cast<unsigned char>(text[i++]);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

std::string_view TextEncoding::utf8Prefix(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    // Back from the first byte left out to the first byte of its character (a character has at
    // most three more); when that character reaches past the limit, it is left out whole.
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t start = maxBytes;
    for (int back = 0; back < 3 && start > 0 && (byte(start) & 0xC0) == 0x80; ++back)
        --start;
    std::size_t length = byte(start) >= 0xF0 ? 4 : byte(start) >= 0xE0 ? 3 : byte(start) >= 0xC0 ? 2 : 1;
    return text.substr(0, start < maxBytes && start + length > maxBytes ? start : maxBytes);
}

bool TextEncoding::isValidUtf8(const Bytes& bytes)
{
    return isValidUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> TextEncoding::decodeGB18030(std::string_view bytes)
{
    return convert("UTF-8", "GB18030", bytes);
}

std::optional<std::string> TextEncoding::decodeGB18030(const Bytes& bytes)
{
    return decodeGB18030(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> TextEncoding::encodeGB18030(std::string_view utf8)
{
    if (!isValidUtf8(utf8))
        return std::nullopt;
    return convert("GB18030", "UTF-8", utf8);
}

namespace {

// UTF-8 to and from itself: the text when it is UTF-8.
std::optional<std::string> checkedUtf8(std::string_view text)
{
    if (!TextEncoding::isValidUtf8(text))
        return std::nullopt;
    return std::string(text);
}

}

std::optional<std::string> TextEncoding::decode(std::string_view bytes, Charset charset)
{
    return charset == Charset::GB18030 ? decodeGB18030(bytes) : checkedUtf8(bytes);
}

std::optional<std::string> TextEncoding::encode(std::string_view utf8, Charset charset)
{
    return charset == Charset::GB18030 ? encodeGB18030(utf8) : checkedUtf8(utf8);
}

}
