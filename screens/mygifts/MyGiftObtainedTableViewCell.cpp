#include "screens/mygifts/MyGiftObtainedTableViewCell.h"

#include "core/records/MyGiftInfo.h"
#include "core/views/DateConverter.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/kit/RichTextLabel.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {

constexpr const char* kNibName = "MyGiftObtainedTableViewCell";

}

MyGiftObtainedTableViewCell::MyGiftObtainedTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void MyGiftObtainedTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<MyGiftObtainedTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        content->addSubview(loader.outlet("icon", std::make_shared<pf::ImageView>(pf::Rect { 10, 10, 60, 60 }), cell));
        content->addSubview(loader.outlet("title", std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 10, 230, 20 }), cell));
        content->addSubview(loader.outlet("detail0", std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 36, 230, 15 }), cell));
        content->addSubview(loader.outlet("detail1", std::make_shared<pf::RichTextLabel>(pf::Rect { 80, 56, 230, 15 }), cell));
    });
}

void MyGiftObtainedTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "detail0")
        m_detail0 = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
    else if (name == "detail1")
        m_detail1 = std::dynamic_pointer_cast<pf::RichTextLabel>(view);
}

std::string MyGiftObtainedTableViewCell::titleMarkup(const MyGiftInfo& info)
{
    return "<font size=15>" + pf::RichTextLabel::escape(info.title().text()) + "</font>";
}

std::string MyGiftObtainedTableViewCell::codeMarkup(const MyGiftInfo& info)
{
    return "<font size=10>卡密：</font><font size=10 color='#FF7200'>" + pf::RichTextLabel::escape(info.code().text()) + "</font>";
}

std::string MyGiftObtainedTableViewCell::validityMarkup(const MyGiftInfo& info)
{
    return "<font size=10 color='#9F9F9F'>有效时间："
        + pf::RichTextLabel::escape(DateConverter::date2FromUNIXTime(static_cast<double>(info.startTime()))) + "～"
        + pf::RichTextLabel::escape(DateConverter::date2FromUNIXTime(static_cast<double>(info.endTime()))) + "</font>";
}

void MyGiftObtainedTableViewCell::refreshCell(const MyGiftInfo& info)
{
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, info.litpic().text());
    if (auto label = title())
        label->setText(titleMarkup(info));
    if (auto label = detail0())
        label->setText(codeMarkup(info));
    if (auto label = detail1())
        label->setText(validityMarkup(info));
}
