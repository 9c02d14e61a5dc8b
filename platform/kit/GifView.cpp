#include "platform/kit/GifView.h"

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"

namespace pf {

std::shared_ptr<GifView> GifView::withGifFile(const std::string& path)
{
    return withImage(Image::fromFile(path));
}

std::shared_ptr<GifView> GifView::withImage(std::shared_ptr<Image> image)
{
    auto view = std::make_shared<GifView>();
    if (image)
        view->setFrame({ { 0, 0 }, image->size() });
    view->setImage(std::move(image));
    return view;
}

GifView::~GifView()
{
    RunLoop::main().cancelAll(this);
}

void GifView::setImage(std::shared_ptr<Image> image)
{
    stopAnimating();
    ImageView::setImage(std::move(image));
    m_frameIndex = 0;
    startAnimating();
}

Size GifView::pixelSize() const
{
    if (!image())
        return {};
    return { double(image()->pixelWidth()), double(image()->pixelHeight()) };
}

size_t GifView::frameCount() const
{
    if (!image())
        return 0;
    return image()->frames().empty() ? 1 : image()->frames().size();
}

std::shared_ptr<Image> GifView::currentFrame() const
{
    if (!image())
        return nullptr;
    if (image()->frames().empty())
        return image();
    return image()->frames()[m_frameIndex].image;
}

void GifView::startAnimating()
{
    // The timer holds the view weakly, so only a shared view can play.
    if (m_animating || frameCount() < 2 || weak_from_this().expired())
        return;
    m_animating = true;
    scheduleNextFrame();
}

void GifView::stopAnimating()
{
    m_animating = false;
    RunLoop::main().cancelAll(this);
}

void GifView::scheduleNextFrame()
{
    double delay = image()->frames()[m_frameIndex].delay;
    std::weak_ptr<GifView> weak = std::static_pointer_cast<GifView>(shared_from_this());
    RunLoop::main().postDelayed(delay, [weak] {
        auto self = weak.lock();
        if (!self || !self->m_animating || self->frameCount() < 2)
            return;
        self->m_frameIndex = (self->m_frameIndex + 1) % self->frameCount();
        self->scheduleNextFrame();
    }, this);
}

}
