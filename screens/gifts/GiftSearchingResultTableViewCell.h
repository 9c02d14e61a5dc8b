#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class GiftSearchingResultItemInfo;

namespace pf {
class Button;
class ImageView;
class RichTextLabel;
}

// One row of the search results, 80 points high, loaded from the layout of its own name: the
// icon, the title, the claim cost, the codes left (or the opening date of a gift that has not
// opened) and a status badge that only shows the status (the row takes the taps).
//
// Rules:
// - Portal texts are escaped before they go into the markup; an absent title shows nothing.
// - The count of codes left never shows below 0; a gift with only released codes left
//   (status 2) shows 0 left.
// - A status outside 0 to 3 shows an empty badge, never the look of the row the cell showed
//   before.
class GiftSearchingResultTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 80;

    GiftSearchingResultTableViewCell();

    static void registerNib();

    void refreshCell(const GiftSearchingResultItemInfo& item);
    void assignGiftActionButton(int status);

    static std::string titleMarkup(const GiftSearchingResultItemInfo& item);
    static std::string costMarkup(const GiftSearchingResultItemInfo& item);
    static std::string countMarkup(const GiftSearchingResultItemInfo& item);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title.lock(); }
    std::shared_ptr<pf::RichTextLabel> desc() const { return m_desc.lock(); }
    std::shared_ptr<pf::RichTextLabel> info() const { return m_info.lock(); }
    std::shared_ptr<pf::Button> button() const { return m_button.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "GiftSearchingResultTableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::RichTextLabel> m_title;
    std::weak_ptr<pf::RichTextLabel> m_desc;
    std::weak_ptr<pf::RichTextLabel> m_info;
    std::weak_ptr<pf::Button> m_button;
};
