#include "screens/gifts/GiftListTableViewCell.h"

#include "core/records/GiftListItemInfo.h"
#include "core/views/DateConverter.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "screens/gifts/GiftStatusButtonStyle.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr const char* kNibName = "GiftListTableViewCell";

const std::string kGrey = "<font size=10 color='#9F9F9F'>";
const std::string kHighlight = "<font size=10 color='#FF7200'>";
const std::string kEnd = "</font>";

std::string remainingMarkup(int left, int total)
{
    return kGrey + "剩余礼包：" + kEnd + kHighlight + std::to_string(left) + kEnd + kGrey + "/" + std::to_string(total) + kEnd;
}

}

GiftListTableViewCell::GiftListTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void GiftListTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<GiftListTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        loader.addTopLevel(cell);
        auto content = cell->contentView();

        auto icon = std::make_shared<pf::ImageView>(pf::Rect { 10, 10, 60, 60 });
        content->addSubview(loader.outlet("icon", icon, cell));
        auto title = std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 10, 170, 20 });
        content->addSubview(loader.outlet("title", title, cell));
        auto detail0 = std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 36, 170, 15 });
        content->addSubview(loader.outlet("detail0", detail0, cell));
        auto detail1 = std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 56, 170, 15 });
        content->addSubview(loader.outlet("detail1", detail1, cell));
        auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 255, 25, 55, 30 });
        button->setTitleFont(pf::Font::system(14));
        content->addSubview(loader.outlet("giftActionButton", button, cell));
    });
}

void GiftListTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "detail0")
        m_detail0 = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "detail1")
        m_detail1 = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "giftActionButton")
        m_giftActionButton = std::dynamic_pointer_cast<pf::Button>(view);
}

std::string GiftListTableViewCell::titleMarkup(const GiftListItemInfo& item)
{
    return "<font size=15><b>" + pf::RichTextLabel::escape(item.title().text()) + "</b></font>";
}

std::string GiftListTableViewCell::conditionMarkup(const GiftListItemInfo& item)
{
    const std::string free = kGrey + "领取资格：免费" + kEnd;
    if (item.status() == 2 || (item.extcredits1() == 0 && item.extcredits2() == 0))
        return free;
    bool gold = item.extcredits1() != 0;
    return kGrey + "领取资格：" + kEnd + kHighlight + std::to_string(gold ? item.extcredits1() : item.extcredits2()) + kEnd
        + kGrey + (gold ? "金币" : "萌点") + kEnd;
}

std::string GiftListTableViewCell::countMarkup(const GiftListItemInfo& item)
{
    if (item.status() == 2)
        return remainingMarkup(0, item.total());
    if (item.status() == 0)
        return "<font size=10>开始时间：</font>" + kHighlight
            + pf::RichTextLabel::escape(DateConverter::date1FromUNIXTime(static_cast<double>(item.startTime()))) + kEnd;
    // A portal that counts more codes sent than it had must not show a negative number.
    long long left = std::max(0LL, static_cast<long long>(item.total()) - item.send());
    return remainingMarkup(static_cast<int>(std::min<long long>(left, INT32_MAX)), item.total());
}

void GiftListTableViewCell::refreshCell(const GiftListItemInfo& item, int index)
{
    m_index = index;
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, item.litpic().text());
    if (auto label = title())
        label->setText(titleMarkup(item));
    if (auto label = detail0())
        label->setText(conditionMarkup(item));
    if (auto label = detail1())
        label->setText(countMarkup(item));
    assignGiftActionButton(item.status());
}

void GiftListTableViewCell::assignGiftActionButton(int status)
{
    auto button = giftActionButton();
    if (!button)
        return;
    button->setUserInteractionEnabled(false);
    GiftStatusButtonStyle::apply(*button, status);
}
