#include "screens/gifts/SectionHeaderTableViewCell.h"

#include "core/views/ColorFactory.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {
constexpr const char* kNibName = "SectionHeaderTableViewCell";
}

SectionHeaderTableViewCell::SectionHeaderTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void SectionHeaderTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<SectionHeaderTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        cell->setSelectionStyle(pf::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(pf::Color::white());
        loader.addTopLevel(cell);
        auto accent = std::make_shared<pf::View>(pf::Rect { 0, 8, 4, 20 });
        accent->setBackgroundColor(ColorFactory::colorWithHexRGB("ffb701"));
        cell->contentView()->addSubview(accent);
        auto title = std::make_shared<pf::Label>(pf::Rect { 12, 8, 296, 20 });
        title->setFont(pf::Font::boldSystem(15));
        cell->contentView()->addSubview(loader.outlet("title", title, cell));
    });
}

void SectionHeaderTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::Label>(view);
}

void SectionHeaderTableViewCell::refreshCell(const std::string& text)
{
    if (auto label = title())
        label->setText(text);
}
