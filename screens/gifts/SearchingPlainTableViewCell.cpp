#include "screens/gifts/SearchingPlainTableViewCell.h"

#include "core/records/GiftSearchingResultItemInfo.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {

constexpr const char* kNibName = "SearchingPlainTableViewCell";

}

SearchingPlainTableViewCell::SearchingPlainTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void SearchingPlainTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<SearchingPlainTableViewCell>();
        cell->setFrame({ 0, 0, 214, kRowHeight });
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        auto icon = std::make_shared<pf::ImageView>(pf::Rect { 5, 5, 30, 30 });
        content->addSubview(loader.outlet("icon", icon, cell));
        auto title = std::make_shared<pf::Label>(pf::Rect { 42, 10, 166, 20 });
        title->setFont(pf::Font::system(14));
        title->setTextColor(pf::Color::white());
        content->addSubview(loader.outlet("title", title, cell));
    });
}

void SearchingPlainTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::Label>(view);
}

void SearchingPlainTableViewCell::refreshCell(const GiftSearchingResultItemInfo& item)
{
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, item.litpic().text());
    if (auto label = title())
        label->setText(item.title().text());
}
