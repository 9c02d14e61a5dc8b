#include "platform/foundation/Base64.h"
#include "platform/foundation/Json.h"
#include "platform/foundation/Value.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

using namespace pf;

TEST(Value, NumberTextsReadFromTheirStartLikeThePlatform)
{
    EXPECT_EQ(Value("12abc").intValue(), 12);
    EXPECT_EQ(Value("  -7").intValue(), -7);
    EXPECT_EQ(Value("abc").intValue(), 0);
    EXPECT_EQ(Value("").intValue(), 0);
    EXPECT_EQ(Value("99999999999").intValue(), INT_MAX);
    EXPECT_EQ(Value("-99999999999").intValue(), INT_MIN);
    EXPECT_EQ(Value("1700000000").longValue(), 1700000000LL);
    EXPECT_EQ(Value("99999999999999999999999").longValue(), LLONG_MAX);
    EXPECT_DOUBLE_EQ(Value("3.25kg").doubleValue(), 3.25);
    EXPECT_DOUBLE_EQ(Value("nan").doubleValue(), 0);
}

TEST(Value, BoolTextsFollowThePlatformsRule)
{
    EXPECT_TRUE(Value("YES").boolValue());
    EXPECT_TRUE(Value("true").boolValue());
    EXPECT_TRUE(Value("007").boolValue());
    EXPECT_FALSE(Value("000").boolValue());
    EXPECT_FALSE(Value("no").boolValue());
    EXPECT_FALSE(Value("").boolValue());
    EXPECT_TRUE(Value(2).boolValue());
    EXPECT_FALSE(Value(0.0).boolValue());
}

TEST(Value, NumbersTruncateAndTextsRoundTrip)
{
    EXPECT_EQ(Value(3.9).intValue(), 3);
    EXPECT_EQ(Value(-3.9).intValue(), -3);
    EXPECT_EQ(Value(1e300).longValue(), LLONG_MAX);
    EXPECT_EQ(Value(42).stringValue(), "42");
    EXPECT_EQ(Value(1.5).stringValue(), "1.5");
    EXPECT_EQ(Value(3.0).stringValue(), "3");
    EXPECT_EQ(Value(true).stringValue(), "1");
}

TEST(Value, WrongTypesGiveEmptyResultsNeverThrow)
{
    Value dict = Value(Dictionary { { "a", 1 } });
    EXPECT_EQ(dict.intValue(), 0);
    EXPECT_EQ(dict.stringValue(), "");
    EXPECT_TRUE(dict["nope"].isMissing());
    EXPECT_TRUE(dict["a"]["deeper"].isMissing());
    EXPECT_TRUE(dict[size_t(3)].isMissing());
    EXPECT_EQ(Value::null().asDictionary(), nullptr);
    EXPECT_EQ(Value("x").asArray(), nullptr);
}

TEST(Value, CopiesDoNotShareMutations)
{
    Value a(Dictionary { { "k", 1 } });
    Value b = a;
    b.set("k", 2);
    b.set("new", "x");
    EXPECT_EQ(a["k"].intValue(), 1);
    EXPECT_TRUE(a["new"].isMissing());
    EXPECT_EQ(b["k"].intValue(), 2);
}

TEST(Json, KeepsNullApartFromAbsentAndKeepsKeyOrder)
{
    auto v = Json::parse(R"({"ret":0,"msg":null,"body":[{"z":1,"a":"2"}]})");
    ASSERT_TRUE(v);
    EXPECT_TRUE((*v)["msg"].isNull());
    EXPECT_TRUE((*v)["other"].isMissing());
    EXPECT_EQ((*v)["body"][size_t(0)].asDictionary()->keys(), (std::vector<std::string> { "z", "a" }));
    EXPECT_EQ(Json::write(*v), R"({"ret":0,"msg":null,"body":[{"z":1,"a":"2"}]})");
}

TEST(Json, MalformedInputGivesAnErrorNotACrash)
{
    std::string error;
    for (const char* bad : { "", "{", "{\"a\":}", "[1,2", "nul", "{\"a\":1}}", "\xff\xfe" }) {
        error.clear();
        EXPECT_FALSE(Json::parse(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string deep(100000, '[');
    EXPECT_FALSE(Json::parse(deep, &error));
}

TEST(Json, BigAndChineseValues)
{
    auto v = Json::parse(R"({"t":"礼包","n":18446744073709551615,"d":1.25e3})");
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)["t"].stringValue(), "礼包");
    EXPECT_DOUBLE_EQ((*v)["n"].doubleValue(), 18446744073709551615.0);
    EXPECT_EQ((*v)["d"].intValue(), 1250);
}

TEST(Value, LargeDictionariesKeepOrderAndFindEveryKeyAfterRemovals)
{
    Dictionary d;
    for (int i = 0; i < 1000; ++i)
        d.set("k" + std::to_string(i), i);
    d.set("k5", -5); // replaced in place
    EXPECT_TRUE(d.remove("k0"));
    EXPECT_TRUE(d.remove("k500"));
    EXPECT_FALSE(d.remove("k500"));
    d.set("k0", 0); // back, at the end
    ASSERT_EQ(d.size(), 999u);
    EXPECT_EQ(d.keys().front(), "k1");
    EXPECT_EQ(d.keys().back(), "k0");
    EXPECT_EQ(d.find("k5")->intValue(), -5);
    EXPECT_EQ(d.find("k501")->intValue(), 501);
    EXPECT_EQ(d.find("k999")->intValue(), 999);
    EXPECT_EQ(d.find("k500"), nullptr);

    // Duplicate keys in a reply: the last value wins, in the first key's place.
    auto parsed = Json::parse(R"({"a":1,"b":2,"a":3})");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->asDictionary()->keys(), (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ((*parsed)["a"].intValue(), 3);
}

TEST(Value, CopiesOnOtherThreadsNeverSeeAWriteInPlace)
{
    // One thread reads its copy and lets it go while the owner writes to its own.
    for (int round = 0; round < 50; ++round) {
        Value original(Dictionary { { "n", 0 } });
        Value copy = original;
        std::thread reader([copy = std::move(copy)]() mutable {
            EXPECT_EQ(copy["n"].intValue(), 0);
            copy = Value();
        });
        original.set("n", 1);
        reader.join();
        EXPECT_EQ(original["n"].intValue(), 1);
    }
}

TEST(Base64, ImpossibleLengthsAndPaddingAreRejected)
{
    EXPECT_EQ(Base64::decode("QQ=="), Bytes { 'A' });
    EXPECT_EQ(Base64::decode("QUI"), (Bytes { 'A', 'B' })); // padding may be left out
    EXPECT_EQ(Base64::decode(" QU\nJD "), (Bytes { 'A', 'B', 'C' }));
    for (const char* bad : { "A", "QUJDR", "Q===", "QQ=", "QUI==", "QQ==QQ==", "Q$==" })
        EXPECT_FALSE(Base64::decode(bad)) << bad;
}
