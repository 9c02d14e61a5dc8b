#include "core/views/LoadingPromptView.h"

#include "platform/foundation/Bundle.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/ui/Label.h"

std::shared_ptr<LoadingPromptView> LoadingPromptView::create(const pf::Rect& frame)
{
    auto view = std::make_shared<LoadingPromptView>(frame);
    view->setDisplayName(kOverlayName);
    view->addLoadingPromptViewControl();
    view->addPromptTextControl();
    return view;
}

void LoadingPromptView::addLoadingPromptViewControl()
{
    std::shared_ptr<pf::Image> image;
    if (auto bundle = pf::Bundle::main())
        if (auto path = bundle->pathForResource("page_loading.gif"))
            image = pf::Image::fromFile(*path);
    m_loadingPromptGifView = pf::GifView::withImage(image);
    double width = image ? image->pixelWidth() / 2.0 : 0;
    double height = image ? image->pixelHeight() / 2.0 : 0;
    m_loadingPromptGifView->setFrame({ 0, 0, width, height });
    m_loadingPromptGifView->setCenter({ 160, 200 });
    addSubview(m_loadingPromptGifView);
}

void LoadingPromptView::addPromptTextControl()
{
    pf::Rect gif = m_loadingPromptGifView->frame();
    m_promptText = std::make_shared<pf::Label>(pf::Rect { 0, gif.y() + gif.height(), 320, 20 });
    m_promptText->setTextAlignment(pf::TextAlignment::Center);
    m_promptText->setText("主人，人家在努力加载哦...");
    m_promptText->setBackgroundColor(pf::Color::clear());
    m_promptText->setFont(pf::Font::system(17));
    addSubview(m_promptText);
}
