#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class MyGiftInfo;

namespace pf {
class ImageView;
class RichTextLabel;
}

// One obtained code on the "已领取" list, 80 points high, loaded from the layout of its own
// name: the icon, the gift's title, "卡密：" with the code in the highlight colour, and the
// validity "有效时间：START～END" (year-month-day) in grey.
//
// Rule: the title and the code come from the portal and are escaped before they go into the
// markup, so they show as written.
class MyGiftObtainedTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 80;

    MyGiftObtainedTableViewCell();

    static void registerNib();

    void refreshCell(const MyGiftInfo& info);

    static std::string titleMarkup(const MyGiftInfo& info);
    static std::string codeMarkup(const MyGiftInfo& info);
    static std::string validityMarkup(const MyGiftInfo& info);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::RichTextLabel> title() const { return m_title.lock(); }
    std::shared_ptr<pf::RichTextLabel> detail0() const { return m_detail0.lock(); }
    std::shared_ptr<pf::RichTextLabel> detail1() const { return m_detail1.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "MyGiftObtainedTableViewCell"; }

private:
    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::RichTextLabel> m_title;
    std::weak_ptr<pf::RichTextLabel> m_detail0;
    std::weak_ptr<pf::RichTextLabel> m_detail1;
};
