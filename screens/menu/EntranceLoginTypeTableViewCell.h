#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace pf {
class ImageView;
class Label;
}

// The side menu's account row, 67 points high, loaded from the layout of its own name: the
// avatar (or the not-logged-in picture), the nickname (or the call to log in) and a marker.
class EntranceLoginTypeTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 67;

    EntranceLoginTypeTableViewCell();
    static void registerNib();

    // A named bundle picture as icon.
    void refreshCell(const std::string& iconName, const std::string& title, const std::string& promptImageName);
    // The picture at `avatarURL` as icon, loaded through the image cache; the row shows no icon
    // until it arrives, and keeps none when it cannot be loaded.
    void refreshCellWithImageURL(const std::string& avatarURL, const std::string& title, const std::string& promptImageName);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::Label> title() const { return m_title.lock(); }
    std::shared_ptr<pf::ImageView> promptView() const { return m_promptView.lock(); }
    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "EntranceLoginTypeTableViewCell"; }

private:
    void setTexts(const std::string& title, const std::string& promptImageName);

    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::Label> m_title;
    std::weak_ptr<pf::ImageView> m_promptView;
};
