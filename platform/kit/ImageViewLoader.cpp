#include "platform/kit/ImageViewLoader.h"

#include "platform/graphics/Image.h"
#include "platform/kit/ImageLoader.h"

#include <cstdint>
#include <unordered_map>

namespace pf {

namespace {

struct Binding {
    std::weak_ptr<ImageView> view;
    std::string url;
    std::uint64_t ticket;
};

// Which load each view waits for, by view identity. Entries go when answered or replaced.
std::unordered_map<const ImageView*, Binding>& bindings()
{
    static auto* map = new std::unordered_map<const ImageView*, Binding>();
    return *map;
}

std::uint64_t g_nextTicket = 1;

void dropStaleBindings()
{
    auto& map = bindings();
    for (auto it = map.begin(); it != map.end();)
        it = it->second.view.expired() ? map.erase(it) : std::next(it);
}

}

void ImageViewLoader::setImageWithURL(const std::shared_ptr<ImageView>& view, const std::string& url)
{
    setImageWithURL(view, url, nullptr);
}

void ImageViewLoader::setImageWithURL(const std::shared_ptr<ImageView>& view, const std::string& url,
    std::shared_ptr<Image> placeholder)
{
    if (!view)
        return;
    cancelLoad(view);
    view->setImage(std::move(placeholder));
    if (url.empty())
        return;
    dropStaleBindings();
    std::uint64_t ticket = g_nextTicket++;
    bindings()[view.get()] = { view, url, ticket };
    std::weak_ptr<ImageView> weak = view;
    ImageLoader::shared()->loadImage(url, [weak, ticket](std::shared_ptr<Image> image) {
        auto view = weak.lock();
        if (!view)
            return;
        auto& map = bindings();
        auto it = map.find(view.get());
        if (it == map.end() || it->second.ticket != ticket)
            return;
        map.erase(it);
        if (image)
            view->setImage(std::move(image));
    });
}

void ImageViewLoader::cancelLoad(const std::shared_ptr<ImageView>& view)
{
    if (view)
        bindings().erase(view.get());
}

std::string ImageViewLoader::pendingURL(const std::shared_ptr<ImageView>& view)
{
    if (!view)
        return {};
    auto it = bindings().find(view.get());
    return it == bindings().end() ? std::string() : it->second.url;
}

}
