#include "screens/gifts/RefreshTableHeaderView.h"

#include "platform/foundation/Bundle.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/ui/Label.h"

std::shared_ptr<RefreshTableHeaderView> RefreshTableHeaderView::create(const pf::Rect& frame)
{
    auto header = std::make_shared<RefreshTableHeaderView>(frame);
    header->setAutoresizingMask(pf::Autoresizing::FlexibleWidth);
    header->setBackgroundColor(pf::Color::clear());
    header->fetchGifImageWithFrame({ 0, 0, 18, 18 }, header->frame());
    header->fetchPromptText();
    header->setState(pf::PullRefreshState::Normal);
    return header;
}

void RefreshTableHeaderView::fetchGifImageWithFrame(const pf::Rect& frame, const pf::Rect& superViewFrame)
{
    std::shared_ptr<pf::Image> image;
    if (auto bundle = pf::Bundle::main())
        if (auto path = bundle->pathForResource("refresh.gif"))
            image = pf::Image::fromFile(*path);
    m_gifImageView = pf::GifView::withImage(image);
    m_gifImageView->setFrame({ 40, superViewFrame.height() - 30, frame.width(), frame.height() });
    addSubview(m_gifImageView);
}

void RefreshTableHeaderView::fetchPromptText()
{
    m_promptText = std::make_shared<pf::Label>(pf::Rect { 100, frame().height() - 30, 200, 20 });
    m_promptText->setText("正在刷新...");
    m_promptText->setBackgroundColor(pf::Color::clear());
    m_promptText->setTextColor(pf::Color::black());
    addSubview(m_promptText);
}
