#include "screens/menu/EntranceLoginTypeTableViewCell.h"

#include "core/views/CustomControlApperanceCreator.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Nib.h"
#include "platform/ui/NibLoader.h"

namespace {
constexpr const char* kNibName = "EntranceLoginTypeTableViewCell";
}

EntranceLoginTypeTableViewCell::EntranceLoginTypeTableViewCell()
    : pf::TableViewCell(pf::TableViewCellStyle::Default, kNibName)
{
}

void EntranceLoginTypeTableViewCell::registerNib()
{
    if (pf::Nib::exists(kNibName))
        return;
    pf::Nib::registerNib(kNibName, [](pf::NibLoader& loader) {
        auto cell = std::make_shared<EntranceLoginTypeTableViewCell>();
        cell->setFrame({ 0, 0, 320, kRowHeight });
        cell->setBackgroundColor(pf::Color::clear());
        cell->setSelectionStyle(pf::TableViewCellSelectionStyle::None);
        loader.addTopLevel(cell);
        auto content = cell->contentView();
        content->setBackgroundColor(pf::Color::clear());
        auto icon = std::make_shared<pf::ImageView>(pf::Rect { 15, 11, 44, 44 });
        content->addSubview(loader.outlet("icon", icon, cell));
        auto title = std::make_shared<pf::Label>(pf::Rect { 70, 23, 100, 21 });
        title->setFont(pf::Font::system(15));
        title->setTextColor(pf::Color::white());
        content->addSubview(loader.outlet("title", title, cell));
        auto prompt = std::make_shared<pf::ImageView>(pf::Rect { 175, 26, 8, 14 });
        content->addSubview(loader.outlet("promptView", prompt, cell));
    });
}

void EntranceLoginTypeTableViewCell::setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view)
{
    if (name == "icon")
        m_icon = std::dynamic_pointer_cast<pf::ImageView>(view);
    else if (name == "title")
        m_title = std::dynamic_pointer_cast<pf::Label>(view);
    else if (name == "promptView")
        m_promptView = std::dynamic_pointer_cast<pf::ImageView>(view);
}

void EntranceLoginTypeTableViewCell::setTexts(const std::string& title, const std::string& promptImageName)
{
    if (auto label = this->title())
        label->setText(title);
    if (auto prompt = promptView())
        prompt->setImage(CustomControlApperanceCreator::bundleImage(promptImageName));
}

void EntranceLoginTypeTableViewCell::refreshCell(const std::string& iconName, const std::string& title, const std::string& promptImageName)
{
    if (auto view = icon()) {
        pf::ImageViewLoader::cancelLoad(view);
        view->setImage(CustomControlApperanceCreator::bundleImage(iconName));
    }
    setTexts(title, promptImageName);
}

void EntranceLoginTypeTableViewCell::refreshCellWithImageURL(const std::string& avatarURL, const std::string& title,
    const std::string& promptImageName)
{
    if (auto view = icon())
        pf::ImageViewLoader::setImageWithURL(view, avatarURL);
    setTexts(title, promptImageName);
}
