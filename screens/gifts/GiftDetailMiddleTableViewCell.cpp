#include "screens/gifts/GiftDetailMiddleTableViewCell.h"

#include "core/views/CellHeightCaculator.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {
constexpr const char* kNibName = "GiftDetailMiddleTableViewCell";
}

GiftDetailMiddleTableViewCell::GiftDetailMiddleTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void GiftDetailMiddleTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<GiftDetailMiddleTableViewCell>();
        cell->setFrame({ 0, 0, 320, 30 });
        cell->setSelectionStyle(pf::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(pf::Color::clear());
        loader.addTopLevel(cell);
        auto back = std::make_shared<pf::View>(pf::Rect { 0, 0, 320, 30 });
        back->setBackgroundColor(pf::Color::white());
        cell->contentView()->addSubview(loader.outlet("backView", back, cell));
        auto label = std::make_shared<pf::Label>(pf::Rect { 10, 0, 300, 24 });
        label->setFont(pf::Font::system(13));
        label->setNumberOfLines(0);
        label->setLineBreakMode(pf::LineBreakMode::WordWrap);
        label->setTextColor(pf::Color::darkGray());
        cell->contentView()->addSubview(loader.outlet("detailDescribtion", label, cell));
    });
}

void GiftDetailMiddleTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "detailDescribtion")
        m_detailDescribtion = std::dynamic_pointer_cast<pf::Label>(view);
    else if (name == "backView")
        m_backView = view;
}

void GiftDetailMiddleTableViewCell::refreshCellDetailDescribtion(const std::string& text)
{
    auto label = detailDescribtion();
    if (!label)
        return;
    label->setText(text);
    CellHeightCaculator::adjustHeightOfLabel(label, { 10, 0, 300, 24 });
    if (auto back = backView()) {
        pf::Rect frame = back->frame();
        back->setFrame({ frame.origin, { frame.width(), label->frame().height() + 6 } });
    }
}
