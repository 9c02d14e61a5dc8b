#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class GiftListItemInfo;
class GiftPageViewController;

namespace pf {
class Button;
class ImageView;
class RichTextLabel;
}

// One gift row of a gift list tab, 80 points high, loaded from the layout of its own name:
// the icon, the title, a condition line (free, gold coins or forum points), a count line
// (codes left of the total, or the opening date of a gift that has not opened) and a status
// button that only shows the status (the row takes the taps).
//
// Rules:
// - Portal texts are escaped before they go into the markup, so a title holding "<" or "&"
//   shows as written; an absent or null title shows as nothing.
// - The count of codes left never shows below 0.
// - A gift with only released codes left (status 2) shows the free condition and 0 left.
class GiftListTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 80;

    GiftListTableViewCell();

    // Registers the row's layout under the class name (once; later calls do nothing).
    static void registerNib();

    void refreshCell(const GiftListItemInfo& item, int index);
    void assignGiftActionButton(int status);

    // The markup of each line for an item.
    static std::string titleMarkup(const GiftListItemInfo& item);
    static std::string conditionMarkup(const GiftListItemInfo& item);
    static std::string countMarkup(const GiftListItemInfo& item);

    int index() const { return m_index; }
    std::shared_ptr<GiftPageViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<GiftPageViewController> controller) { m_superViewController = std::move(controller); }

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title.lock(); }
    std::shared_ptr<pf::RichTextLabel> detail0() const { return m_detail0.lock(); }
    std::shared_ptr<pf::RichTextLabel> detail1() const { return m_detail1.lock(); }
    std::shared_ptr<pf::Button> giftActionButton() const { return m_giftActionButton.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "GiftListTableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::RichTextLabel> m_title;
    std::weak_ptr<pf::RichTextLabel> m_detail0;
    std::weak_ptr<pf::RichTextLabel> m_detail1;
    std::weak_ptr<pf::Button> m_giftActionButton;
    int m_index { 0 };
    std::weak_ptr<GiftPageViewController> m_superViewController;
};
