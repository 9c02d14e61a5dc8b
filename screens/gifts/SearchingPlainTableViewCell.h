#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class GiftSearchingResultItemInfo;

namespace pf {
class ImageView;
class Label;
}

// One row of the search screen's live suggestions, 40 points high in a 214-point-wide list,
// loaded from the layout of its own name: the gift's icon and its title as plain text.
class SearchingPlainTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 40;

    SearchingPlainTableViewCell();

    // Registers the row's layout under the class name (once).
    static void registerNib();

    void refreshCell(const GiftSearchingResultItemInfo& item);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::Label> title() const { return m_title.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "SearchingPlainTableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::Label> m_title;
};
