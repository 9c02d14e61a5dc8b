#include "core/views/AdaptedViewController.h"

#include "platform/foundation/Device.h"

void AdaptedViewController::viewDidLoad()
{
    pf::ViewController::viewDidLoad();
    if (pf::Device::current().systemVersionFloat() >= 7.0)
        setEdgesForExtendedLayout(pf::RectEdge::None);
}

void AdaptedViewController::didReceiveMemoryWarning()
{
    pf::ViewController::didReceiveMemoryWarning();
}
