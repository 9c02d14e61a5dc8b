#include "screens/gifts/GiftScreenFactory.h"

#include "screens/gifts/GiftDetailViewController.h"
#include "screens/gifts/GiftSearchingPageViewController.h"

namespace {

GiftScreenFactory::DetailFactory& detailFactory()
{
    static GiftScreenFactory::DetailFactory factory;
    return factory;
}

GiftScreenFactory::SearchFactory& searchFactory()
{
    static GiftScreenFactory::SearchFactory factory;
    return factory;
}

}

std::shared_ptr<pf::ViewController> GiftScreenFactory::giftDetailViewController(int fid)
{
    if (detailFactory())
        return detailFactory()(fid);
    auto screen = std::make_shared<GiftDetailViewController>();
    screen->setFid(fid);
    return screen;
}

std::shared_ptr<pf::ViewController> GiftScreenFactory::giftSearchingPageViewController()
{
    if (searchFactory())
        return searchFactory()();
    return std::make_shared<GiftSearchingPageViewController>();
}

void GiftScreenFactory::setDetailFactory(DetailFactory factory)
{
    detailFactory() = std::move(factory);
}

void GiftScreenFactory::setSearchFactory(SearchFactory factory)
{
    searchFactory() = std::move(factory);
}
