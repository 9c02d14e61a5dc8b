#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class GiftDetailInfo;

namespace pf {
class ImageView;
class Label;
}

// One booked gift on the "已预约" list, 80 points high, loaded from the layout of its own name:
// the icon, the title, the opening and closing times ("yyyy-MM-dd HH:mm") and a status label.
//
// Rules:
// - The label reads "详情" (blue) for a gift that has not opened, then "领取", "淘号" and "结束"
//   in the colours of the status buttons.
// - A status outside 0 to 3 shows an empty, clear label, never the status of the gift a reused
//   cell showed before.
class MyGiftAppointmentTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 80;

    MyGiftAppointmentTableViewCell();

    static void registerNib();

    void refreshCell(const GiftDetailInfo& info);

    std::shared_ptr<pf::ImageView> icon() const { return m_icon.lock(); }
    std::shared_ptr<pf::Label> title() const { return m_title.lock(); }
    std::shared_ptr<pf::Label> startTime() const { return m_startTime.lock(); }
    std::shared_ptr<pf::Label> endTime() const { return m_endTime.lock(); }
    std::shared_ptr<pf::Label> statusLabel() const { return m_statusLabel.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "MyGiftAppointmentTableViewCell"; }

private:
    void assignStatus(int status);

    std::weak_ptr<pf::ImageView> m_icon;
    std::weak_ptr<pf::Label> m_title;
    std::weak_ptr<pf::Label> m_startTime;
    std::weak_ptr<pf::Label> m_endTime;
    std::weak_ptr<pf::Label> m_statusLabel;
};
