#include "platform/graphics/TextMeasurer.h"

#include <gtest/gtest.h>

#include <limits>

using namespace pf;

namespace {

TEST(TextMeasurerTests, EmptyTextMeasuresNothing)
{
    EXPECT_EQ(TextMeasurer::sizeOfText("", Font::system(17)), (Size { 0, 0 }));
    EXPECT_EQ(TextMeasurer::sizeOfText("", Font::system(17), { 100, 100 }), (Size { 0, 0 }));
    EXPECT_EQ(TextMeasurer::lineCount("", Font::system(13), 100), 0);
}

TEST(TextMeasurerTests, ChineseTextWrapsBetweenCharactersWithinTheWidth)
{
    Font font = Font::system(13);
    // The face draws every ideograph one em wide: 16 of them are 208 points on one line.
    std::string text = "已经显示全部内容已经显示全部内容";
    EXPECT_EQ(TextMeasurer::sizeOfText(text, font).width, 208);
    double line = TextMeasurer::lineHeight(font);

    Size wrapped = TextMeasurer::sizeOfText(text, font, { 100, 2000 });
    EXPECT_EQ(TextMeasurer::lineCount(text, font, 100), 3); // 7 + 7 + 2 ideographs of 13 points
    EXPECT_LE(wrapped.width, 100);
    EXPECT_EQ(wrapped.width, 91);
    EXPECT_NEAR(wrapped.height, 3 * line, 2);

    // A line limit and a height limit both cut whole lines.
    EXPECT_NEAR(TextMeasurer::sizeOfText(text, font, { 100, 2000 }, LineBreakMode::WordWrap, 2).height, 2 * line, 2);
    EXPECT_NEAR(TextMeasurer::sizeOfText(text, font, { 100, 2 * line + 1 }).height, 2 * line, 2);

    // A width too large for the layout to hold (the largest double, infinity) wraps nothing,
    // as no width does, instead of overflowing the layout's integer width.
    for (double unbounded : { std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(), 3e6 })
        EXPECT_EQ(TextMeasurer::sizeOfText(text, font, { unbounded, 2000 }).width, 208) << unbounded;
}

TEST(TextMeasurerTests, LatinTextWrapsAtWordsUnlessCharWrapIsAsked)
{
    Font font = Font::system(15);
    std::string text = "remaining gifts";
    double firstWord = TextMeasurer::sizeOfText("remaining", font).width;
    double wholeWidth = TextMeasurer::sizeOfText(text, font).width;
    double width = firstWord + 25; // room for the first word and a little, not for both
    ASSERT_LT(width, wholeWidth);
    Size words = TextMeasurer::sizeOfText(text, font, { width, 0 });
    EXPECT_EQ(TextMeasurer::lineCount(text, font, width), 2);
    EXPECT_LE(words.width, firstWord + 1);

    // Character wrap fills the first line as far as it goes instead.
    Size chars = TextMeasurer::sizeOfText(text, font, { width, 0 }, LineBreakMode::CharWrap);
    EXPECT_EQ(TextMeasurer::lineCount(text, font, width, LineBreakMode::CharWrap), 2);
    EXPECT_GT(chars.width, firstWord);
}

TEST(TextMeasurerTests, NewlinesStartLinesAndInvalidUtf8IsMeasuredAsItIsDrawn)
{
    Font font = Font::system(17);
    Size one = TextMeasurer::sizeOfText("ab", font);
    Size two = TextMeasurer::sizeOfText("ab\nab", font);
    EXPECT_EQ(two.width, one.width);
    EXPECT_NEAR(two.height, 2 * one.height, 2);

    // A broken byte is drawn as a replacement character, with the text after it.
    std::string broken = "ab";
    broken += static_cast<char>(0xFF);
    broken += "cdef";
    EXPECT_EQ(TextMeasurer::sizeOfText(broken, font), TextMeasurer::sizeOfText("ab\uFFFDcdef", font));
    EXPECT_GT(TextMeasurer::sizeOfText(broken, font).width, TextMeasurer::sizeOfText("abcdef", font).width);
}

}
