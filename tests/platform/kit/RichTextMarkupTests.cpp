#include "platform/kit/RichTextMarkup.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

const Font kBase = Font::system(15);
const Color kGrey = Color::rgb(0x9F / 255.0, 0x9F / 255.0, 0x9F / 255.0);
const Color kOrange = Color::rgb(1, 0x72 / 255.0, 0);

std::vector<RichTextRun> parse(std::string_view markup)
{
    return RichTextMarkup::parse(markup, kBase, Color::black());
}

RichTextRun run(std::string text, double size = 15, bool bold = false, Color color = Color::black())
{
    return { std::move(text), Font { size, bold }, color };
}

}

TEST(RichTextMarkup, FontAndBoldTagsGiveStyledRuns)
{
    EXPECT_EQ(parse("<font size=10 color='#9F9F9F'>领取资格：</font><font size=10 color='#FF7200'>30</font>"
                    "<font size=10 color='#9F9F9F'>金币</font>"),
        (std::vector<RichTextRun> { run("领取资格：", 10, false, kGrey), run("30", 10, false, kOrange), run("金币", 10, false, kGrey) }));
    EXPECT_EQ(parse("<font size=13 color='#9F9F9F'>可领次数：</font><font size=13 color='#FF7200'><b>5</b></font>"),
        (std::vector<RichTextRun> { run("可领次数：", 13, false, kGrey), run("5", 13, true, kOrange) }));
    // Quotes of either kind or none, any case, extra spaces; unknown attributes are ignored.
    EXPECT_EQ(parse("<FONT  face=x SIZE = \"12\" Color=#ff7200 >a</Font><B >b</B>"),
        (std::vector<RichTextRun> { run("a", 12, false, kOrange), run("b", 15, true) }));
    // Adjacent runs of one style merge; empty tags leave no runs.
    EXPECT_EQ(parse("<b></b>x<font size=15>y</font><font></font>"), (std::vector<RichTextRun> { run("xy") }));
    EXPECT_TRUE(parse("").empty());
}

TEST(RichTextMarkup, UnclosedAndCrossedTagsKeepASensibleStyle)
{
    EXPECT_EQ(parse("<b>bold <font color='#FF7200'>orange"),
        (std::vector<RichTextRun> { run("bold ", 15, true), run("orange", 15, true, kOrange) }));
    // Closing <b> ends the bold even though the font opened after it is still open.
    EXPECT_EQ(parse("<b><font color=#FF7200>x</b>y</font>z"),
        (std::vector<RichTextRun> { run("x", 15, true, kOrange), run("y", 15, false, kOrange), run("z") }));
    // Inner fonts override outer ones only in what they set, and closing restores the outer one.
    EXPECT_EQ(parse("<font size=20 color='#FF7200'>a<font size=10>b</font>c</font>"),
        (std::vector<RichTextRun> { run("a", 20, false, kOrange), run("b", 10, false, kOrange), run("c", 20, false, kOrange) }));
    // Closing tags with nothing to close are markup, not text.
    EXPECT_EQ(parse("a</b>b</font>c"), (std::vector<RichTextRun> { run("abc") }));
}

TEST(RichTextMarkup, StrayLessThanAndAmpersandAreShownAsWritten)
{
    for (std::string text : { "1 < 2 && 3 > 2", "a<b", "x<bold>y", "<i>x</i>", "<font", "<b", "<>", "</>", "< b>",
             "<font size='15>x", "&foo;", "AT&T", "&#0;", "&#xD800;", "&#12a;", "& ;", "&amp", "&&lt" })
        EXPECT_EQ(RichTextMarkup::plainText(parse(text)), text) << text;
    // A tag is still recognised right after a stray "<".
    EXPECT_EQ(parse("a<<b>c"), (std::vector<RichTextRun> { run("a<"), run("c", 15, true) }));
}

TEST(RichTextMarkup, EntitiesAreDecoded)
{
    EXPECT_EQ(RichTextMarkup::plainText(parse("&lt;b&gt; &amp; &quot;q&quot; &apos; a&nbsp;b &#26085;&#x65E5;")),
        "<b> & \"q\" ' a\xC2\xA0" "b 日日");
    // An entity inside a styled run takes that style.
    EXPECT_EQ(parse("<b>&lt;</b>"), (std::vector<RichTextRun> { run("<", 15, true) }));
}

TEST(RichTextMarkup, UnreadableAttributesKeepTheEnclosingStyle)
{
    for (std::string markup : { "<font size=abc>x</font>", "<font size=-3>x</font>", "<font size=0>x</font>",
             "<font color='#GGGGGG'>x</font>", "<font color='#FFF'>x</font>", "<font color=>x</font>",
             "<font size>x</font>", "<font =5>x</font>" })
        EXPECT_EQ(parse(markup), (std::vector<RichTextRun> { run("x") })) << markup;
    EXPECT_EQ(parse("<font size=100000>x</font>"), (std::vector<RichTextRun> { run("x", 512) }));
    EXPECT_EQ(parse("<font size=12.5>x</font>"), (std::vector<RichTextRun> { run("x", 12.5) }));
}

TEST(RichTextMarkup, EscapedTextSurvivesAsPlainText)
{
    const std::string hostile = "<font size=99 color='#FF0000'>&lt;b&gt;\"Tom\" & </b>Jerry";
    std::string markup = "<font size=13>欢迎 " + RichTextMarkup::escape(hostile) + "</font>";
    EXPECT_EQ(parse(markup), (std::vector<RichTextRun> { run("欢迎 " + hostile, 13) }));
    EXPECT_EQ(RichTextMarkup::escape("普通文字 abc"), "普通文字 abc");
}
