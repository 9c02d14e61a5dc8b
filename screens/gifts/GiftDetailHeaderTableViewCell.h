#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class GiftDetailInfo;
class PriceReduceTypeLabel;

namespace pf {
class ImageView;
class RichTextLabel;
}

// The head row of the gift detail list, 152 points high, loaded from the layout of its own
// name: the gift's picture, title, codes left of the total, game type, opening and closing
// times, claims allowed, the claim condition and the full price before reduction, struck
// through.
//
// Rules:
// - Portal texts are escaped before they go into the markup; an absent or null title or game
//   type leaves its line empty.
// - The count of codes left never shows below 0; a gift with only released codes left (status
//   2) shows 0 left, the free condition and no full price.
// - The condition follows the cost the gift has: gold coins when it costs gold coins, else
//   forum points; the full price shows only when the portal gives one for that currency.
// - The condition's label is at least as wide as the text it shows (both currencies
//   included), and the full price never lies over it: it moves right of the condition's text
//   when that reaches its place, and is left out when the row has no room for it there.
class GiftDetailHeaderTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 152;
    static constexpr double kOriginalPriceX = 167;
    // At least this much between the end of the condition's text and the full price.
    static constexpr double kPriceGap = 6;

    GiftDetailHeaderTableViewCell();
    static void registerNib();

    void refreshCell(const GiftDetailInfo& info);
    void assignPriceLabelFrame(int cost);

    // The markup of the lines, for a record.
    static std::string titleMarkup(const GiftDetailInfo& info);
    static std::string detailMarkup(const GiftDetailInfo& info);
    static std::string conditionMarkup(const GiftDetailInfo& info);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title.lock(); }
    std::shared_ptr<pf::RichTextLabel> detail() const { return m_detail.lock(); }
    std::shared_ptr<pf::RichTextLabel> gameType() const { return m_gameType.lock(); }
    std::shared_ptr<pf::RichTextLabel> startTime() const { return m_startTime.lock(); }
    std::shared_ptr<pf::RichTextLabel> obtainTimes() const { return m_obtainTimes.lock(); }
    std::shared_ptr<pf::RichTextLabel> endTime() const { return m_endTime.lock(); }
    std::shared_ptr<pf::RichTextLabel> obtainCondition() const { return m_obtainCondition.lock(); }
    std::shared_ptr<PriceReduceTypeLabel> originalPrice() const { return m_originalPrice.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "GiftDetailHeaderTableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::RichTextLabel> m_title;
    std::weak_ptr<pf::RichTextLabel> m_detail;
    std::weak_ptr<pf::RichTextLabel> m_gameType;
    std::weak_ptr<pf::RichTextLabel> m_startTime;
    std::weak_ptr<pf::RichTextLabel> m_obtainTimes;
    std::weak_ptr<pf::RichTextLabel> m_endTime;
    std::weak_ptr<pf::RichTextLabel> m_obtainCondition;
    std::weak_ptr<PriceReduceTypeLabel> m_originalPrice;
};
