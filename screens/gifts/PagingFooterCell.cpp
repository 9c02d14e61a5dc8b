#include "screens/gifts/PagingFooterCell.h"

#include "platform/foundation/Bundle.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/ui/Label.h"

std::shared_ptr<PagingFooterCell> PagingFooterCell::create(bool isMoreInfo)
{
    auto cell = std::make_shared<PagingFooterCell>();
    cell->setBackgroundColor(pf::Color::clear());
    cell->setSelectedBackgroundView(std::make_shared<pf::View>());
    if (isMoreInfo) {
        cell->fetchGifImage();
    } else {
        auto label = cell->textLabel();
        label->setText(kEndText);
        label->setTextAlignment(pf::TextAlignment::Center);
        label->setTextColor(pf::Color::black());
        label->setFont(pf::Font::system(17));
    }
    return cell;
}

void PagingFooterCell::fetchGifImage()
{
    auto path = pf::Bundle::main()->pathForResource("loading.gif");
    m_loadingView = pf::GifView::withGifFile(path.value_or(""));
    if (auto image = m_loadingView->image())
        m_loadingView->setFrame({ 0, 0, image->pixelWidth() / 2.0, image->pixelHeight() / 2.0 });
    m_loadingView->setCenter(center());
    addSubview(m_loadingView);
}
