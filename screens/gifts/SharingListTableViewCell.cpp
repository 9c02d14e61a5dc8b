#include "screens/gifts/SharingListTableViewCell.h"

#include "core/views/CustomControlApperanceCreator.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {
constexpr const char* kNibName = "SharingListTableViewCell";
}

SharingListTableViewCell::SharingListTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void SharingListTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<SharingListTableViewCell>();
        cell->setFrame({ 0, 0, 213, kRowHeight });
        cell->setBackgroundColor(pf::Color::clear());
        loader.addTopLevel(cell);
        auto icon = std::make_shared<pf::ImageView>(pf::Rect { 20, 7, 26, 26 });
        cell->contentView()->addSubview(loader.outlet("icon", icon, cell));
        auto title = std::make_shared<pf::Label>(pf::Rect { 60, 10, 140, 20 });
        title->setFont(pf::Font::system(15));
        cell->contentView()->addSubview(loader.outlet("title", title, cell));
    });
}

void SharingListTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::Label>(view);
}

void SharingListTableViewCell::refreshCell(const std::string& imageName, const std::string& text)
{
    if (auto view = icon())
        view->setImage(CustomControlApperanceCreator::bundleImage(imageName));
    if (auto label = title())
        label->setText(text);
}
