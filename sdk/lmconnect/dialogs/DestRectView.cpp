#include "sdk/lmconnect/dialogs/DestRectView.h"

#include "platform/ui/Layer.h"

DestRectView::DestRectView(const pf::Rect& frame)
    : pf::View(frame)
{
    setBackgroundColor(std::nullopt);
    setUserInteractionEnabled(false);
    layer().setBorderWidth(1);
    layer().setBorderColor(pf::Color { 1, 1, 1, 1 });
}
