#include "core/records/RecordFields.h"
#include "core/records/RelatedGiftInfo.h"
#include "tests/core/records/JsonReply.h"

#include <climits>

namespace {

int integerOf(std::string_view json)
{
    return RecordFields::integer(jsonReply(std::string("{\"n\":") + std::string(json) + "}"), "n");
}

bool flagOf(std::string_view json)
{
    return RecordFields::flag(jsonReply(std::string("{\"f\":") + std::string(json) + "}"), "f");
}

}

TEST(RecordFields, IntegerReadsNumbersAndLeadingDigitsOfTexts)
{
    EXPECT_EQ(integerOf("5"), 5);
    EXPECT_EQ(integerOf("5.9"), 5);
    EXPECT_EQ(integerOf("-5.9"), -5);
    EXPECT_EQ(integerOf("\"5\""), 5);
    EXPECT_EQ(integerOf("\" 5abc\""), 5);
    EXPECT_EQ(integerOf("\"-12\""), -12);
    EXPECT_EQ(integerOf("\"abc\""), 0);
    EXPECT_EQ(integerOf("\"\""), 0);
    EXPECT_EQ(integerOf("true"), 1);
    EXPECT_EQ(RecordFields::integer(jsonReply("{}"), "n"), 0);
}

TEST(RecordFields, IntegerOfWrongShapesIsZeroAndOutOfRangeSaturates)
{
    EXPECT_EQ(integerOf("null"), 0);
    EXPECT_EQ(integerOf("[5]"), 0);
    EXPECT_EQ(integerOf("{\"n\":5}"), 0);
    EXPECT_EQ(integerOf("4294967301"), INT_MAX); // would wrap to 5 if cut to 32 bits
    EXPECT_EQ(integerOf("-1e20"), INT_MIN);
    EXPECT_EQ(integerOf("\"99999999999\""), INT_MAX);
    // The long kind keeps 64 bits.
    EXPECT_EQ(RecordFields::longInteger(jsonReply("{\"t\":4294967301}"), "t"), 4294967301LL);
    // Not an object at all.
    EXPECT_EQ(RecordFields::integer(jsonReply("[1,2]"), "n"), 0);
    EXPECT_EQ(RecordFields::integer(pf::Value(), "n"), 0);
}

TEST(RecordFields, FlagFollowsThePlatformsBooleanReading)
{
    for (auto yes : { "true", "1", "2", "\"1\"", "\"YES\"", "\"true\"", "\" +007\"", "\"y\"" })
        EXPECT_TRUE(flagOf(yes)) << yes;
    for (auto no : { "false", "0", "0.0", "\"0\"", "\"no\"", "\"\"", "null", "[1]", "{}" })
        EXPECT_FALSE(flagOf(no)) << no;
    EXPECT_FALSE(RecordFields::flag(jsonReply("{}"), "f"));
}

TEST(RecordFields, TextKeepsNullApartFromAbsent)
{
    auto object = jsonReply(R"({"s":"礼包 ","z":null,"n":5,"l":["x"],"o":{}})");
    EXPECT_EQ(RecordFields::text(object, "s"), RecordText("礼包 "));
    EXPECT_TRUE(RecordFields::text(object, "z").isNull());
    EXPECT_TRUE(RecordFields::text(object, "missing").isAbsent());
    EXPECT_EQ(RecordFields::text(object, "n").text(), "5");
    EXPECT_TRUE(RecordFields::text(object, "l").isAbsent());
    EXPECT_TRUE(RecordFields::text(object, "o").isAbsent());

    EXPECT_EQ(RecordText().formatted(), "(null)");
    EXPECT_EQ(RecordText::null().formatted(), "<null>");
    EXPECT_EQ(RecordText("").formatted(), "");
    EXPECT_TRUE(RecordText().toValue().isMissing());
    EXPECT_TRUE(RecordText::null().toValue().isNull());
}

TEST(RecordFields, ListIsAbsentRatherThanEmpty)
{
    auto listOf = [](std::string_view json) {
        return RecordFields::list<RelatedGiftInfo>(jsonReply(json));
    };
    EXPECT_FALSE(listOf("[]").has_value());
    EXPECT_FALSE(listOf("{}").has_value());
    EXPECT_FALSE(listOf("\"[]\"").has_value());
    EXPECT_FALSE(listOf("null").has_value());
    EXPECT_FALSE(listOf("[1, \"a\", null, []]").has_value());

    auto mixed = listOf(R"([{"fid":1}, 7, {"fid":2}, null])");
    ASSERT_TRUE(mixed.has_value());
    ASSERT_EQ(mixed->size(), 2u);
    EXPECT_EQ((*mixed)[0]->fid(), 1);
    EXPECT_EQ((*mixed)[1]->fid(), 2);
}
