#include "screens/gifts/GiftDetailRelatedGiftTableViewCell.h"

#include "core/records/RelatedGiftInfo.h"
#include "core/views/ColorFactory.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {
constexpr const char* kNibName = "GiftDetailRelatedGiftTableViewCell";
}

GiftDetailRelatedGiftTableViewCell::GiftDetailRelatedGiftTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void GiftDetailRelatedGiftTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<GiftDetailRelatedGiftTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        cell->setBackgroundColor(pf::Color::white());
        loader.addTopLevel(cell);
        auto dot = std::make_shared<pf::View>(pf::Rect { 12, 12, 4, 4 });
        dot->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
        cell->contentView()->addSubview(dot);
        auto title = std::make_shared<pf::Label>(pf::Rect { 24, 4, 286, 20 });
        title->setFont(pf::Font::system(13));
        cell->contentView()->addSubview(loader.outlet("giftTitle", title, cell));
    });
}

void GiftDetailRelatedGiftTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "giftTitle")
        m_giftTitle = std::dynamic_pointer_cast<pf::Label>(view);
}

void GiftDetailRelatedGiftTableViewCell::refreshCell(const RelatedGiftInfo& item)
{
    if (auto label = giftTitle())
        label->setText(item.title().text());
    m_fid = item.fid();
}
