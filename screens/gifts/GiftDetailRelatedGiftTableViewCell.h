#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

class RelatedGiftInfo;

namespace pf {
class Label;
class ViewController;
}

// One related gift under "猜你喜欢" in the gift detail list, 28 points high, loaded from the
// layout of its own name. The detail screen handles the tap on the row.
class GiftDetailRelatedGiftTableViewCell : public pf::TableViewCell {
public:
    static constexpr double kRowHeight = 28;

    GiftDetailRelatedGiftTableViewCell();
    static void registerNib();

    void refreshCell(const RelatedGiftInfo& item);

    int fid() const { return m_fid; }
    void setFid(int fid) { m_fid = fid; }
    std::shared_ptr<pf::ViewController> superViewController() const { return m_superViewController.lock(); }
    void setSuperViewController(std::weak_ptr<pf::ViewController> controller) { m_superViewController = std::move(controller); }
    std::shared_ptr<pf::Label> giftTitle() const { return m_giftTitle.lock(); }

    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "GiftDetailRelatedGiftTableViewCell"; }

private:
    std::weak_ptr<pf::Label> m_giftTitle;
    std::weak_ptr<pf::ViewController> m_superViewController;
    int m_fid { 0 };
};
