#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace pf {
class Label;
}

// The title row of a section of the gift detail list ("礼包详情", "使用方法", "猜你喜欢"),
// 36 points high, loaded from the layout of its own name.
class SectionHeaderTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 36;

    SectionHeaderTableViewCell();
    static void registerNib();

    void refreshCell(const std::string& text);

    std::shared_ptr<pf::Label> title() const { return m_title.lock(); }
    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "SectionHeaderTableViewCell"; }

private:
    std::weak_ptr<pf::Label> m_title;
};
