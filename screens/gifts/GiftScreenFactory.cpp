#include "screens/gifts/GiftScreenFactory.h"

#include "core/views/AdaptedViewController.h"
#include "core/views/ColorFactory.h"
#include "platform/ui/View.h"

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

// Stands in for the gift detail screen until it is built: an empty page titled with the gift's
// number.
class PendingGiftDetailViewController : public AdaptedViewController {
public:
    explicit PendingGiftDetailViewController(int fid) : m_fid(fid) { }

    void viewDidLoad() override
    {
        AdaptedViewController::viewDidLoad();
        setTitle("礼包 " + std::to_string(m_fid));
        view()->setBackgroundColor(ColorFactory::colorWithHexRGB("eeeef0"));
    }

private:
    int m_fid;
};

}

std::shared_ptr<pf::ViewController> GiftScreenFactory::giftDetailViewController(int fid)
{
    if (detailFactory())
        return detailFactory()(fid);
    return std::make_shared<PendingGiftDetailViewController>(fid);
}

std::shared_ptr<pf::ViewController> GiftScreenFactory::giftSearchingPageViewController()
{
    if (searchFactory())
        return searchFactory()();
    return nullptr;
}

void GiftScreenFactory::setDetailFactory(DetailFactory factory)
{
    detailFactory() = std::move(factory);
}

void GiftScreenFactory::setSearchFactory(SearchFactory factory)
{
    searchFactory() = std::move(factory);
}
