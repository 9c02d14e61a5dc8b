#include "platform/graphics/TextMeasurer.h"
#include "platform/kit/RichTextLayout.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

RichTextLayout::Metrics measure(std::string_view markup, double width, double spacing = 0)
{
    return RichTextLayout::measure(RichTextMarkup::parse(markup, Font::system(15), Color::black()), width, spacing);
}

}

TEST(RichTextLayout, OneStyleMeasuresLikePlainText)
{
    for (std::string text : { "领取资格：免费", "Gift codes 123", "发现新版本 V2.1" }) {
        auto metrics = measure("<font size=13>" + text + "</font>", 0);
        EXPECT_EQ(metrics.size, TextMeasurer::sizeOfText(text, Font::system(13))) << text;
        EXPECT_EQ(metrics.lineCount, 1);
    }
    // Chinese characters are one em wide.
    EXPECT_NEAR(measure("<font size=10>剩余礼包：</font>", 0).size.width, 50, 1);
    EXPECT_EQ(measure("", 100).size, (Size { 0, 0 }));
    EXPECT_EQ(measure("<b></b>", 100).lineCount, 0);
}

TEST(RichTextLayout, MixedSizesShareALineAsWideAsTheirParts)
{
    auto small = measure("<font size=10>剩余礼包：</font>", 0).size;
    auto big = measure("<font size=20>99</font>", 0).size;
    auto mixed = measure("<font size=10>剩余礼包：</font><font size=20>99</font>", 0);
    EXPECT_EQ(mixed.lineCount, 1);
    EXPECT_NEAR(mixed.size.width, small.width + big.width, 2);
    EXPECT_GE(mixed.size.height, big.height);
    EXPECT_LT(mixed.size.height, big.height + small.height);
}

TEST(RichTextLayout, WrapsAtTheWidthWithLineSpacingBetweenLines)
{
    // 30 characters of 15 points in 200 points: 13 to a line, so three lines.
    std::string thirty;
    for (int i = 0; i < 30; ++i)
        thirty += "礼";
    auto one = measure("礼", 0).size;
    auto tight = measure(thirty, 200, 0);
    EXPECT_EQ(tight.lineCount, 3);
    EXPECT_LE(tight.size.width, 200);
    EXPECT_NEAR(tight.size.width, 13 * 15, 1);
    EXPECT_NEAR(tight.size.height, 3 * one.height, 2);
    auto spaced = measure(thirty, 200, 5);
    EXPECT_NEAR(spaced.size.height, tight.size.height + 2 * 5, 1);

    // Latin text breaks between words; a word longer than the line is broken inside.
    auto words = measure("alpha beta gamma delta epsilon", 80);
    EXPECT_GT(words.lineCount, 1);
    EXPECT_LE(words.size.width, 80);
    auto longWord = measure("abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz", 60);
    EXPECT_GT(longWord.lineCount, 1);
    EXPECT_LE(longWord.size.width, 60);
    // Explicit line breaks are kept.
    EXPECT_EQ(measure("一\n二\n三", 0).lineCount, 3);
}

TEST(RichTextLayout, BrokenUtf8IsMeasuredNotRefused)
{
    std::vector<RichTextRun> runs { { std::string("ok\xFF\xC3", 4), Font::system(15), Color::black() },
        { "礼包", Font::system(15), Color::black() } };
    auto metrics = RichTextLayout::measure(runs, 0, 0);
    EXPECT_EQ(metrics.lineCount, 1);
    EXPECT_GT(metrics.size.width, measure("ok礼包", 0).size.width);
}
