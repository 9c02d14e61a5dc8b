#include "screens/gifts/GiftSearchingResultTableViewCell.h"

#include "core/records/GiftSearchingResultItemInfo.h"
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

constexpr const char* kNibName = "GiftSearchingResultTableViewCell";

const std::string kSmall = "<font size=10>";
const std::string kHighlight = "<font size=10 color='#FF7200'>";
const std::string kEnd = "</font>";

}

GiftSearchingResultTableViewCell::GiftSearchingResultTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void GiftSearchingResultTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<GiftSearchingResultTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        content->addSubview(loader.outlet("icon", std::make_shared<pf::ImageView>(pf::Rect { 10, 10, 60, 60 }), cell));
        content->addSubview(loader.outlet("title", std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 10, 170, 20 }), cell));
        content->addSubview(loader.outlet("desc", std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 36, 170, 15 }), cell));
        content->addSubview(loader.outlet("info", std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 56, 170, 15 }), cell));
        auto button = std::make_shared<pf::Button>(pf::ButtonType::Custom, pf::Rect { 255, 25, 55, 30 });
        button->setTitleFont(pf::Font::system(14));
        content->addSubview(loader.outlet("button", button, cell));
    });
}

void GiftSearchingResultTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "desc")
        m_desc = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "info")
        m_info = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "button")
        m_button = std::dynamic_pointer_cast<pf::Button>(view);
}

std::string GiftSearchingResultTableViewCell::titleMarkup(const GiftSearchingResultItemInfo& item)
{
    return "<font size=15><b>" + pf::RichTextLabel::escape(item.title().text()) + "</b></font>";
}

std::string GiftSearchingResultTableViewCell::costMarkup(const GiftSearchingResultItemInfo& item)
{
    if (item.extcredits1() == 0 && item.extcredits2() == 0)
        return kSmall + "领取资格：免费" + kEnd;
    bool gold = item.extcredits1() != 0;
    return kSmall + "领取资格：" + kEnd + kHighlight + std::to_string(gold ? item.extcredits1() : item.extcredits2()) + kEnd
        + kSmall + (gold ? "金币" : "萌点") + kEnd;
}

std::string GiftSearchingResultTableViewCell::countMarkup(const GiftSearchingResultItemInfo& item)
{
    if (item.status() == 0)
        return kSmall + "开始时间：" + kEnd + kHighlight
            + pf::RichTextLabel::escape(DateConverter::date1FromUNIXTime(static_cast<double>(item.startTime()))) + kEnd;
    long long left = 0;
    if (item.status() != 2)
        left = std::max(0LL, static_cast<long long>(item.total()) - item.send());
    return kSmall + "剩余礼包：" + kEnd + kHighlight + std::to_string(std::min<long long>(left, INT32_MAX)) + kEnd + kSmall + "/"
        + std::to_string(item.total()) + kEnd;
}

void GiftSearchingResultTableViewCell::refreshCell(const GiftSearchingResultItemInfo& item)
{
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, item.litpic().text());
    if (auto label = title())
        label->setText(titleMarkup(item));
    if (auto label = desc())
        label->setText(costMarkup(item));
    if (auto label = info())
        label->setText(countMarkup(item));
    assignGiftActionButton(item.status());
}

void GiftSearchingResultTableViewCell::assignGiftActionButton(int status)
{
    auto badge = button();
    if (!badge)
        return;
    badge->setUserInteractionEnabled(false);
    if (!GiftStatusButtonStyle::look(status)) {
        // A reused cell must not keep the badge of the gift it showed before.
        badge->setTitle("", pf::ControlState::Normal);
        badge->setBackgroundColor(pf::Color::clear());
    }
    GiftStatusButtonStyle::apply(*badge, status);
}
