#include "platform/foundation/Crypto.h"

#include <gtest/gtest.h>

using namespace pf;

TEST(Crypto, DigestsMatchKnownVectors)
{
    EXPECT_EQ(Crypto::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Crypto::md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Crypto::md5Hex("abc", true), "900150983CD24FB0D6963F7D28E17F72");
    // Chinese text is hashed as UTF-8 bytes.
    EXPECT_EQ(Crypto::md5Hex("礼包"), Crypto::md5Hex(Bytes { 0xE7, 0xA4, 0xBC, 0xE5, 0x8C, 0x85 }));
    EXPECT_EQ(Crypto::sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Crypto::sha1(Bytes {}).size(), 20u);
}

TEST(Crypto, RandomBytesHaveTheAskedLengthAndVary)
{
    EXPECT_TRUE(Crypto::randomBytes(0).empty());
    auto a = Crypto::randomBytes(32);
    auto b = Crypto::randomBytes(32);
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
}
