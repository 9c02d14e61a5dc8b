#include "platform/foundation/Gzip.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

pf::Bytes bytes(const std::string& text) { return pf::Bytes(text.begin(), text.end()); }

// A zlib-framed stream, as some servers answer.
pf::Bytes zlibStream(const pf::Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    pf::Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    out.resize(size);
    return out;
}

}

TEST(Gzip, WholeStreamsOnlyAndNeverBeyondTheLimit)
{
    pf::Bytes text = bytes(std::string(100000, 'a') + "礼包");
    auto packed = pf::Gzip::compress(text);
    ASSERT_TRUE(packed);
    ASSERT_GE(packed->size(), 2u);
    EXPECT_EQ((*packed)[0], 0x1f);
    EXPECT_EQ((*packed)[1], 0x8b);
    EXPECT_EQ(pf::Gzip::decompress(*packed), text);
    EXPECT_EQ(pf::Gzip::decompress(*pf::Gzip::compress({})), pf::Bytes {});
    EXPECT_EQ(pf::Gzip::decompress(zlibStream(text)), text);

    pf::Bytes cut(packed->begin(), packed->begin() + packed->size() / 2);
    pf::Bytes damaged = *packed;
    damaged[damaged.size() / 2] ^= 0xff;
    pf::Bytes trailing = *packed;
    trailing.push_back('x');
    struct Case {
        const char* name;
        pf::Bytes stream;
        std::size_t limit;
        bool readable;
    };
    const Case cases[] = {
        { "cut", cut, pf::Gzip::kDefaultMaxBytes, false },
        { "damaged", damaged, pf::Gzip::kDefaultMaxBytes, false },
        { "not compressed", text, pf::Gzip::kDefaultMaxBytes, false },
        { "empty input", {}, pf::Gzip::kDefaultMaxBytes, false },
        { "one byte over the limit", *packed, text.size() - 1, false },
        { "exactly the limit", *packed, text.size(), true },
        { "bytes after the stream", trailing, pf::Gzip::kDefaultMaxBytes, true },
    };
    for (const auto& c : cases) {
        auto out = pf::Gzip::decompress(c.stream, c.limit);
        EXPECT_EQ(out.has_value(), c.readable) << c.name;
        if (out) {
            EXPECT_EQ(*out, text) << c.name;
        }
    }
    // A small stream of a huge inflation stops at the limit.
    auto bomb = pf::Gzip::compress(pf::Bytes(64u << 20, 0));
    ASSERT_TRUE(bomb);
    EXPECT_LT(bomb->size(), 1u << 20);
    EXPECT_FALSE(pf::Gzip::decompress(*bomb, 1u << 20));
}

// The output buffer starts small for text; data that packs badly, or not at all, must still come
// back whole, whatever its size against the buffer's steps.
TEST(Gzip, DataThatPacksBadlyGrowsTheBufferAndRoundTrips)
{
    std::uint32_t seed = 12345;
    auto noise = [&](std::size_t size) {
        pf::Bytes out(size);
        for (auto& b : out) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(seed >> 24);
        }
        return out;
    };
    for (std::size_t size : { std::size_t(1), std::size_t(16383), std::size_t(16384), std::size_t(65537), std::size_t(1) << 20 }) {
        pf::Bytes data = noise(size);
        auto packed = pf::Gzip::compress(data);
        ASSERT_TRUE(packed) << size;
        EXPECT_GT(packed->size(), data.size()) << size; // noise only grows
        EXPECT_EQ(pf::Gzip::decompress(*packed, data.size()), data) << size;
    }
    // Half text, half noise: the buffer's first guess is wrong halfway through.
    pf::Bytes mixed = bytes(std::string(300000, 'x'));
    pf::Bytes tail = noise(300000);
    mixed.insert(mixed.end(), tail.begin(), tail.end());
    auto packed = pf::Gzip::compress(mixed);
    ASSERT_TRUE(packed);
    EXPECT_EQ(pf::Gzip::decompress(*packed), mixed);
}
