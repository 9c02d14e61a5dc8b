#include "screens/mygifts/MyGiftAppointmentTableViewCell.h"

#include "core/records/GiftDetailInfo.h"
#include "core/views/ColorFactory.h"
#include "core/views/DateConverter.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"
#include "screens/gifts/GiftStatusButtonStyle.h"

namespace {

constexpr const char* kNibName = "MyGiftAppointmentTableViewCell";

std::shared_ptr<pf::Label> label(const pf::Rect& frame, double fontSize)
{
    auto view = std::make_shared<pf::Label>(frame);
    view->setFont(pf::Font::system(fontSize));
    view->setBackgroundColor(pf::Color::clear());
    return view;
}

}

MyGiftAppointmentTableViewCell::MyGiftAppointmentTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void MyGiftAppointmentTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<MyGiftAppointmentTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        content->addSubview(loader.outlet("icon", std::make_shared<pf::ImageView>(pf::Rect { 10, 10, 60, 60 }), cell));
        content->addSubview(loader.outlet("title", label({ 80, 10, 170, 20 }, 15), cell));
        content->addSubview(loader.outlet("startTime", label({ 80, 36, 170, 15 }, 10), cell));
        content->addSubview(loader.outlet("endTime", label({ 80, 56, 170, 15 }, 10), cell));
        auto status = label({ 255, 25, 55, 30 }, 14);
        status->setTextAlignment(pf::TextAlignment::Center);
        content->addSubview(loader.outlet("statusLabel", status, cell));
    });
}

void MyGiftAppointmentTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::Label>(view);
    else if (name == "startTime")
        m_startTime = std::dynamic_pointer_cast<pf::Label>(view);
    else if (name == "endTime")
        m_endTime = std::dynamic_pointer_cast<pf::Label>(view);
    else if (name == "statusLabel")
        m_statusLabel = std::dynamic_pointer_cast<pf::Label>(view);
}

void MyGiftAppointmentTableViewCell::refreshCell(const GiftDetailInfo& info)
{
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, info.litpic().text());
    if (auto view = title())
        view->setText(info.title().text());
    if (auto view = startTime())
        view->setText(DateConverter::dateFromUNIXTime(static_cast<double>(info.startTime())));
    if (auto view = endTime())
        view->setText(DateConverter::dateFromUNIXTime(static_cast<double>(info.endTime())));
    assignStatus(info.status());
}

void MyGiftAppointmentTableViewCell::assignStatus(int status)
{
    auto view = statusLabel();
    if (!view)
        return;
    const GiftStatusButtonStyle::Look* look = GiftStatusButtonStyle::look(status);
    if (!look) {
        view->setText("");
        view->setTextColor(pf::Color::black());
        view->setBackgroundColor(pf::Color::clear());
        return;
    }
    // Here a gift that has not opened offers its details, not a booking.
    view->setText(status == 0 ? "详情" : look->title);
    view->setTextColor(look->blackTitle ? pf::Color::black() : pf::Color::white());
    view->setBackgroundColor(ColorFactory::colorWithHexRGB(look->background));
}
