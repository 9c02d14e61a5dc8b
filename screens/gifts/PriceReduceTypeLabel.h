#pragma once

#include "platform/ui/Label.h"

#include <memory>
#include <string>

// A label whose text is struck through: a one-point line across the middle of the text, as
// wide as the text. The full price of a gift before its reduction.
//
// Rules:
// - `assignText` sizes the label to its text (system font 13 within 320 x 2000, wrapped) and
//   lays the line over it; a later change of the frame leaves the line where it was relative to
//   the label's top left.
class PriceReduceTypeLabel : public pf::Label {
public:
    PriceReduceTypeLabel() = default;
    explicit PriceReduceTypeLabel(const pf::Rect& frame) : pf::Label(frame) { }

    void assignText(const std::string& text);

    std::shared_ptr<pf::View> lineView() const { return m_lineView; }
    std::string dumpClassName() const override { return "PriceReduceTypeLabel"; }

private:
    std::shared_ptr<pf::View> m_lineView;
};
