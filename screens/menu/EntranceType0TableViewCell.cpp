#include "screens/menu/EntranceType0TableViewCell.h"

#include "core/views/CustomControlApperanceCreator.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {
constexpr const char* kNibName = "EntranceType0TableViewCell";
}

EntranceType0TableViewCell::EntranceType0TableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void EntranceType0TableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<EntranceType0TableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        cell->setBackgroundColor(pf::Color::clear());
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        content->setBackgroundColor(pf::Color::clear());
        auto icon = std::make_shared<pf::ImageView>(pf::Rect { 20, 12, 20, 20 });
        content->addSubview(loader.outlet("icon", icon, cell));
        auto name = std::make_shared<pf::Label>(pf::Rect { 55, 11, 120, 22 });
        name->setFont(pf::Font::system(15));
        name->setTextColor(pf::Color::white());
        content->addSubview(loader.outlet("name", name, cell));
    });
}

void EntranceType0TableViewCell::setOutlet(const std::string& outlet, const std::shared_ptr<pf::View>& view)
{
    if (outlet == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (outlet == "name")
        m_name = std::dynamic_pointer_cast<pf::Label>(view);
}

void EntranceType0TableViewCell::refreshCell(const std::string& iconName, const std::string& name)
{
    if (auto view = icon())
        view->setImage(CustomControlApperanceCreator::bundleImage(iconName));
    if (auto label = this->name())
        label->setText(name);
}
