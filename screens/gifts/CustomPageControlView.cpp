#include "screens/gifts/CustomPageControlView.h"

#include "platform/foundation/Bundle.h"
#include "platform/graphics/Image.h"
#include "platform/ui/ImageView.h"

namespace {

constexpr double kDotSize = 8;
constexpr double kDotY = 10;
constexpr double kStep = 18; // a dot and the 10-point gap after it

std::shared_ptr<pf::Image> bundleImage(const char* name)
{
    auto path = pf::Bundle::main()->pathForResource(name);
    return path ? pf::Image::fromFile(*path) : nullptr;
}

}

std::shared_ptr<CustomPageControlView> CustomPageControlView::customPageControlViewWithTotalNumber(int total)
{
    auto view = std::make_shared<CustomPageControlView>();
    view->setFrame({ 0, 0, 320, 20 });
    view->setBackgroundColor(pf::Color::clear());
    int n = total > 0 ? total : 0;
    int half = n / 2;
    if (n % 2 == 0) {
        for (int i = 0; i < half; ++i) {
            view->addDot(147 - kStep * i, half - i + 99);
            view->addDot(165 + kStep * i, half + i + 100);
        }
    } else {
        for (int i = 0; i < half; ++i) {
            view->addDot(156 - kStep * (i + 1), half - i + 99);
            view->addDot(174 + kStep * i, half + i + 101);
        }
        view->addDot(156, half + 100);
    }
    view->m_totalPageCount = static_cast<unsigned>(n);
    return view;
}

void CustomPageControlView::addDot(double x, int tag)
{
    auto dot = std::make_shared<pf::ImageView>(pf::Rect { x, kDotY, kDotSize, kDotSize });
    dot->setBackgroundColor(pf::Color::clear());
    dot->setTag(tag);
    addSubview(dot);
}

void CustomPageControlView::resetCustomStarsViewWithCurrentPageNumber(int page)
{
    auto off = bundleImage("slide_def.png");
    auto on = bundleImage("slide_on.png");
    m_currentPage = page >= 0 && page < static_cast<int>(m_totalPageCount) ? page : -1;
    for (int i = 0; i < static_cast<int>(m_totalPageCount); ++i) {
        if (auto dot = std::dynamic_pointer_cast<pf::ImageView>(viewWithTag(kFirstDotTag + i)))
            dot->setImage(i == page ? on : off);
    }
}
