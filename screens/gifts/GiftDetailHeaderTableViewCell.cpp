#include "screens/gifts/GiftDetailHeaderTableViewCell.h"

#include "core/records/GiftDetailInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/DateConverter.h"
#include "platform/graphics/TextMeasurer.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "screens/gifts/PriceReduceTypeLabel.h"

#include <algorithm>
#include <climits>

namespace {

constexpr const char* kNibName = "GiftDetailHeaderTableViewCell";

const std::string kLabel = "<font size=13 color='#9F9F9F'>";
const std::string kHighlight = "<font size=13 color='#FF7200'>";
const std::string kPlain = "<font size=13>";
const std::string kEnd = "</font>";

std::string escaped(const std::string& text)
{
    return pf::RichTextLabel::escape(text);
}

std::string boldValue(const std::string& labelText, const std::string& value)
{
    return kLabel + labelText + kEnd + kPlain + "<b>" + escaped(value) + "</b>" + kEnd;
}

}

GiftDetailHeaderTableViewCell::GiftDetailHeaderTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void GiftDetailHeaderTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<GiftDetailHeaderTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        cell->setSelectionStyle(pf::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(pf::Color::white());
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        content->addSubview(loader.outlet("icon", std::make_shared<pf::ImageView>(pf::Rect { 10, 10, 60, 60 }), cell));
        struct Line {
            const char* name;
            pf::Rect frame;
        };
        const Line lines[] = {
            { "title", { 80, 10, 230, 20 } },
            { "detail", { 80, 34, 230, 16 } },
            { "gameType", { 80, 54, 230, 16 } },
            { "startTime", { 10, 78, 300, 16 } },
            { "endTime", { 10, 96, 300, 16 } },
            { "obtainTimes", { 10, 114, 300, 16 } },
            { "obtainCondition", { 10, 132, 150, 16 } },
        };
        for (const Line& line : lines)
            content->addSubview(loader.outlet(line.name, std::make_shared<pf::RichTextLabel>(line.frame), cell));
        auto price = std::make_shared<PriceReduceTypeLabel>(pf::Rect { kOriginalPriceX, 132, 140, 16 });
        price->setHidden(true);
        content->addSubview(loader.outlet("originalPrice", price, cell));
    });
}

void GiftDetailHeaderTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    auto rich = [&] { return std::dynamic_pointer_cast<pf::RichTextLabel>(view); };
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = rich();
    else if (name == "detail")
        m_detail = rich();
    else if (name == "gameType")
        m_gameType = rich();
    else if (name == "startTime")
        m_startTime = rich();
    else if (name == "obtainTimes")
        m_obtainTimes = rich();
    else if (name == "endTime")
        m_endTime = rich();
    else if (name == "obtainCondition")
        m_obtainCondition = rich();
    else if (name == "originalPrice")
        m_originalPrice = std::dynamic_pointer_cast<PriceReduceTypeLabel>(view);
}

std::string GiftDetailHeaderTableViewCell::titleMarkup(const GiftDetailInfo& info)
{
    return "<font size=15><b>" + escaped(info.title().text()) + "</b></font>";
}

std::string GiftDetailHeaderTableViewCell::detailMarkup(const GiftDetailInfo& info)
{
    // A portal that counts more codes sent than it had must not show a negative number.
    long long left = std::max(0LL, static_cast<long long>(info.total()) - info.send());
    if (info.status() == 2)
        left = 0;
    return kLabel + "剩余礼包：" + kEnd + kHighlight + std::to_string(std::min<long long>(left, INT_MAX)) + kEnd + kLabel
        + "/" + std::to_string(info.total()) + kEnd;
}

std::string GiftDetailHeaderTableViewCell::conditionMarkup(const GiftDetailInfo& info)
{
    if (info.status() == 2 || (info.extcredits1() == 0 && info.extcredits2() == 0))
        return kLabel + "领取资格：" + kEnd + kPlain + "免费" + kEnd;
    if (info.extcredits1() != 0 && info.extcredits2() != 0) // the claim charges both
        return kLabel + "领取资格：" + kEnd + kPlain + "需消耗" + kEnd + kHighlight + std::to_string(info.extcredits1()) + kEnd
            + kPlain + "金币和" + kEnd + kHighlight + std::to_string(info.extcredits2()) + kEnd + kPlain + "萌点" + kEnd;
    if (info.extcredits1() != 0)
        return kLabel + "领取资格：" + kEnd + kPlain + "需消耗" + kEnd + kHighlight + std::to_string(info.extcredits1()) + kEnd
            + kPlain + "金币" + kEnd;
    return kLabel + "领取资格：" + kEnd + kHighlight + "<b>" + std::to_string(info.extcredits2()) + "</b>" + kEnd + kPlain + "萌点"
        + kEnd;
}

void GiftDetailHeaderTableViewCell::refreshCell(const GiftDetailInfo& info)
{
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, info.litpic().text());
    if (auto label = title())
        label->setText(titleMarkup(info));
    if (auto label = detail())
        label->setText(detailMarkup(info));
    if (auto label = gameType())
        label->setText(info.type().hasText() ? boldValue("游戏类型：", info.type().text()) : std::string());
    if (auto label = startTime())
        label->setText(boldValue("开始时间：", DateConverter::dateFromUNIXTime(info.startTime())));
    if (auto label = obtainTimes())
        label->setText(kLabel + "可领次数：" + kEnd + kHighlight + "<b>" + std::to_string(info.draw()) + "</b>" + kEnd);
    if (auto label = endTime())
        label->setText(boldValue("结束时间：", DateConverter::dateFromUNIXTime(info.endTime())));
    if (auto label = obtainCondition())
        label->setText(conditionMarkup(info));

    auto price = originalPrice();
    if (!price)
        return;
    price->setHidden(true);
    if (info.status() == 2 || (info.extcredits1() == 0 && info.extcredits2() == 0))
        return;
    bool gold = info.extcredits1() != 0;
    int fullPrice = gold ? info.ext1() : info.ext2();
    if (fullPrice == 0)
        return;
    price->assignText(gold ? "原价金币:" + std::to_string(fullPrice) + "金币" : "原价萌点:" + std::to_string(fullPrice) + "萌点");
    price->setFont(pf::Font::system(13));
    price->setTextColor(ColorFactory::colorWithHexRGB("9F9F9F").value_or(pf::Color::gray()));
    price->setHidden(false);
    assignPriceLabelFrame(gold ? info.extcredits1() : info.extcredits2());
}

void GiftDetailHeaderTableViewCell::assignPriceLabelFrame(int cost)
{
    auto condition = obtainCondition();
    auto price = originalPrice();
    if (!condition || !price)
        return;
    pf::Size measured = pf::TextMeasurer::sizeOfText("领取资格：" + std::to_string(cost) + "金币", pf::Font::system(13),
        { 320, 2000 }, pf::LineBreakMode::WordWrap);
    pf::Rect frame = condition->frame();
    const double rightEdge = contentView()->bounds().width() - frame.x();
    // The measured cost is one currency's; a gift that costs both says more ("需消耗20金币和
    // 10萌点"), so the label is never narrower than the text it shows and keeps it on its line.
    const double textWidth = condition->sizeThatFits({ 0, frame.height() }).width;
    double width = std::min(std::max(measured.width * 1.5, textWidth), std::max(0.0, rightEdge - frame.x()));
    condition->setFrame({ frame.origin, { width, frame.height() } });
    frame = condition->frame();
    // The full price (as wide as its text, from `assignText`) stands at its place or after the
    // condition's text when that reaches it; with no room left in the row it is not shown
    // rather than run over the condition or out of the row.
    const double x = std::max(kOriginalPriceX, frame.x() + std::min(textWidth, frame.width()) + kPriceGap);
    const double priceWidth = price->frame().width();
    if (x + priceWidth > rightEdge) {
        price->setHidden(true);
        return;
    }
    price->setFrame({ x, frame.y(), priceWidth, frame.height() });
}
