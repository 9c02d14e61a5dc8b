#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace pf {
class ImageView;
class Label;
}

// A row of the share sheet: the target's picture and its name, loaded from the layout of its own
// name.
class SharingListTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 40;

    SharingListTableViewCell();
    static void registerNib();

    void refreshCell(const std::string& imageName, const std::string& text);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::Label> title() const { return m_title.lock(); }
    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "SharingListTableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::Label> m_title;
};
