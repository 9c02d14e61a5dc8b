#include "screens/gifts/PagingFooterCell.h"

#include "platform/foundation/Bundle.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/ui/Label.h"

std::shared_ptr<PagingFooterCell> PagingFooterCell::createPlain()
{
    auto cell = std::make_shared<PagingFooterCell>();
    cell->setBackgroundColor(pf::Color::clear());
    cell->setSelectedBackgroundView(std::make_shared<pf::View>());
    return cell;
}

std::shared_ptr<PagingFooterCell> PagingFooterCell::create(bool isMoreInfo)
{
    auto cell = createPlain();
    if (isMoreInfo)
        cell->fetchGifImage();
    else
        cell->showText(kEndText);
    return cell;
}

std::shared_ptr<PagingFooterCell> PagingFooterCell::createRefused(const std::string& message)
{
    auto cell = createPlain();
    cell->showText(message.empty() ? kRefusedText : message);
    // A portal's sentence may not fit one line of the row.
    cell->textLabel()->setNumberOfLines(2);
    return cell;
}

void PagingFooterCell::showText(const std::string& text)
{
    auto label = textLabel();
    label->setText(text);
    label->setTextAlignment(pf::TextAlignment::Center);
    label->setTextColor(pf::Color::black());
    label->setFont(pf::Font::system(17));
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
