#include "platform/foundation/TextEncoding.h"

#include <gtest/gtest.h>

#include <algorithm>

using pf::TextEncoding;

// Every limit that falls inside a character cuts before it, whatever the character's width.
TEST(TextEncoding, AUtf8PrefixNeverEndsInsideACharacter)
{
    struct Case {
        const char* what;
        std::string text;
        std::size_t width; // bytes of each character after the first "x"
    };
    const Case cases[] = {
        { "ASCII", "x" + std::string(8, 'a'), 1 },
        { "two-byte", "xéééé", 2 },
        { "CJK", "x礼包礼包", 3 },
        { "four-byte", "x😀😀😀", 4 },
    };
    for (const auto& c : cases) {
        for (std::size_t limit = 0; limit <= c.text.size() + 1; ++limit) {
            std::string_view cut = TextEncoding::utf8Prefix(c.text, limit);
            // The longest start of whole characters within the limit.
            std::size_t expected = limit == 0 ? 0 : std::min(c.text.size(), 1 + (limit - 1) / c.width * c.width);
            EXPECT_EQ(cut.size(), expected) << c.what << " at " << limit;
            EXPECT_EQ(cut.data(), c.text.data()) << c.what;
            EXPECT_TRUE(TextEncoding::isValidUtf8(cut)) << c.what << " at " << limit;
        }
    }
    // Bytes that are not UTF-8 are cut where they fall, never beyond the limit.
    std::string stray(10, '\x80');
    EXPECT_EQ(TextEncoding::utf8Prefix(stray, 6).size(), 6u);
    EXPECT_EQ(TextEncoding::utf8Prefix("ab\x80\x80\x80\x80", 4).size(), 4u);
    EXPECT_EQ(TextEncoding::utf8Prefix("\xc3\xa9\x80", 2).size(), 2u) << "a whole character before a stray byte";
}

// What does not decode is shown, byte by byte, and never dropped or replaced; whole characters,
// a NUL among them, stay as they are.
TEST(TextEncoding, BytesThatAreNoCharacterAreWrittenAsVisibleEscapes)
{
    struct Case {
        const char* what;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        { "UTF-8 as it is", std::string("a\0礼😀\\x41", 13), std::string("a\0礼😀\\x41", 13) },
        { "stray bytes", "x\xff\xc3y", "x\\xFF\\xC3y" },
        { "a character cut at the end", "cut \xe7\xa4", "cut \\xE7\\xA4" },
        { "a cut character before a whole one", "\xe7" "a\x80礼", "\\xE7a\\x80礼" },
        { "overlong, surrogate, past U+10FFFF", "\xc0\x80\xed\xa0\x80\xf4\x90\x80\x80",
            "\\xC0\\x80\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80" },
    };
    for (const auto& c : cases) {
        std::string escaped = TextEncoding::withEscapedBytes(c.text);
        EXPECT_EQ(escaped, c.expected) << c.what;
        EXPECT_TRUE(TextEncoding::isValidUtf8(escaped)) << c.what;
    }
}
