#include "platform/graphics/TextMeasurer.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/DumpAttributes.h"

#include <gtest/gtest.h>

using namespace pf;

TEST(RichTextLabel, ShowsThePlainTextOfItsMarkup)
{
    auto label = std::make_shared<RichTextLabel>(Rect(64, 204, 192, 20));
    label->setText("<font size=15>卡密：</font><font size=15 color='#FF7200'>AB&amp;12</font>");
    EXPECT_EQ(label->plainText(), "卡密：AB&12");
    ASSERT_EQ(label->runs().size(), 2u);
    EXPECT_EQ(label->runs()[1].color.hexString(), "#FF7200");
    DumpAttributes attributes;
    label->dumpAttributes(attributes);
    EXPECT_EQ(attributes.texts(), (std::vector<std::string> { "卡密：AB&12" }));

    // A name put in through `escape` shows as typed.
    label->setText("<font size=13>欢迎，" + RichTextLabel::escape("<b>Tom&Jerry</b>") + "</font>");
    EXPECT_EQ(label->plainText(), "欢迎，<b>Tom&Jerry</b>");
}

TEST(RichTextLabel, ChangingTheDefaultsRestylesTheTextOutsideTags)
{
    RichTextLabel label;
    label.setText("plain <font size=20>big</font>");
    EXPECT_EQ(label.runs()[0].font, Font::system(RichTextLabel::kDefaultFontSize));
    label.setFont(Font::boldSystem(12));
    label.setTextColor(Color::gray());
    EXPECT_EQ(label.runs()[0].font, Font::boldSystem(12));
    EXPECT_EQ(label.runs()[0].color, Color::gray());
    EXPECT_EQ(label.runs()[1].font, (Font { 20, true }));
    EXPECT_EQ(label.runs()[1].color, Color::gray());
}

TEST(RichTextLabel, OptimumSizeFollowsTheTextWithinTheWidth)
{
    RichTextLabel heading(Rect(53, 106, 213, 20));
    heading.setText("<font size=15 color='#FFB701'>温馨提示</font>");
    EXPECT_EQ(heading.optimumSize(), TextMeasurer::sizeOfText("温馨提示", Font::system(15)));
    EXPECT_EQ(heading.frame(), Rect(53, 106, 213, 20)) << "measuring leaves the frame alone";

    // A long Chinese and Latin message wraps in the 192-point box and grows downwards.
    RichTextLabel message(Rect(64, 144, 192, 80));
    message.setText("<font size=13>您的礼包已经领取成功，请尽快在游戏中使用 code ABCDEFGHIJKLMNOP 兑换，过期作废。</font>");
    Size wrapped = message.optimumSize();
    EXPECT_LE(wrapped.width, 192);
    EXPECT_GT(message.lineCount(), 1);
    Size oneLine = message.sizeThatFits({ 2000, 0 });
    EXPECT_GT(oneLine.width, 192);
    EXPECT_LT(oneLine.height, wrapped.height);

    RichTextLabel empty;
    EXPECT_EQ(empty.optimumSize(), (Size { 0, 0 }));
}
