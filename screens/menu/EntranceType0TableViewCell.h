#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace pf {
class ImageView;
class Label;
}

// An entry row of the side menu, 44 points high, loaded from the layout of its own name: an
// icon and a name.
class EntranceType0TableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 44;

    EntranceType0TableViewCell();
    static void registerNib();

    void refreshCell(const std::string& iconName, const std::string& name);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::Label> name() const { return m_name.lock(); }
    void setOutlet(const std::string& outlet, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "EntranceType0TableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::Label> m_name;
};
