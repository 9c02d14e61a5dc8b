#pragma once

#include "platform/ui/TableViewCell.h"

#include <memory>
#include <string>

namespace pf {
class Label;
}

// A block of text of the gift detail list (the gift's contents or how to use it) that sizes
// itself: the label takes the height its text needs within 300 points and the background
// behind it stays 6 points taller. Loaded from the layout of its own name.
class GiftDetailMiddleTableViewCell : public pf::TableViewCell {
public:
    GiftDetailMiddleTableViewCell();
    static void registerNib();

    void refreshCellDetailDescribtion(const std::string& text);

    std::shared_ptr<pf::Label> detailDescribtion() const { return m_detailDescribtion.lock(); }
    std::shared_ptr<pf::View> backView() const { return m_backView.lock(); }
    void setOutlet(const std::string& name, const std::shared_ptr<pf::View>& view) override;
    std::string dumpClassName() const override { return "GiftDetailMiddleTableViewCell"; }

private:
    std::weak_ptr<pf::Label> m_detailDescribtion;
    std::weak_ptr<pf::View> m_backView;
};
