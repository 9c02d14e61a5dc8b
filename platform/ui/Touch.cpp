#include "platform/ui/Touch.h"

#include "platform/ui/View.h"

namespace pf {

Point Touch::locationInView(const View* view) const
{
    if (!view)
        return windowLocation;
    return view->convertPointFromWindow(windowLocation);
}

Point Touch::previousLocationInView(const View* view) const
{
    if (!view)
        return previousWindowLocation;
    return view->convertPointFromWindow(previousWindowLocation);
}

}
