#pragma once

#include "platform/ui/View.h"

// The white one-point square drawn over the photo: what lies inside it is uploaded.
class DestRectView : public pf::View {
public:
    explicit DestRectView(const pf::Rect& frame);
    std::string dumpClassName() const override { return "DestRectView"; }
};
