#include "platform/kit/ImageLoader.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/Url.h"
#include "platform/foundation/UrlConnection.h"

namespace pf {

std::shared_ptr<ImageLoader> ImageLoader::shared()
{
    static auto* loader = [] {
        auto* made = new std::shared_ptr<ImageLoader>(new ImageLoader(ImageCache::shared()));
        // Loads of an earlier test were cancelled with it and would never answer.
        ResetRegistry::add([weak = std::weak_ptr<ImageLoader>(*made)] {
            if (auto self = weak.lock())
                self->m_waiting.clear();
        });
        return made;
    }();
    return *loader;
}

std::shared_ptr<ImageLoader> ImageLoader::create(std::shared_ptr<ImageCache> cache)
{
    return std::shared_ptr<ImageLoader>(new ImageLoader(std::move(cache)));
}

ImageLoader::ImageLoader(std::shared_ptr<ImageCache> cache)
    : m_cache(std::move(cache))
{
}

void ImageLoader::loadImage(const std::string& url, Answer answer)
{
    if (auto image = m_cache->imageFromMemory(url)) {
        if (answer)
            answer(image);
        return;
    }
    auto& waiting = m_waiting[url];
    waiting.push_back(std::move(answer));
    if (waiting.size() > 1)
        return;
    std::weak_ptr<ImageLoader> weak = weak_from_this();
    m_cache->queryDisk(url, [weak, url](std::shared_ptr<Image> image) {
        auto self = weak.lock();
        if (!self)
            return;
        if (image)
            self->finish(url, image);
        else
            self->download(url);
    });
}

void ImageLoader::download(const std::string& url)
{
    auto parsed = Url::fromString(url);
    if (!parsed || !(parsed->hasScheme("http") || parsed->hasScheme("https")) || parsed->host().empty()) {
        // Answered later all the same, so callers see one order whatever the address.
        std::weak_ptr<ImageLoader> weak = weak_from_this();
        RunLoop::main().post([weak, url] {
            if (auto self = weak.lock())
                self->finish(url, nullptr);
        });
        return;
    }
    ++m_downloads;
    struct Transfer {
        int status { 0 };
        Bytes data;
    };
    auto transfer = std::make_shared<Transfer>();
    UrlRequest request(url);
    request.setMaximumResponseSize(kMaxDownloadBytes); // the transfer stops there, unbuffered
    auto connection = UrlConnection::create(std::move(request));
    std::weak_ptr<ImageLoader> weak = weak_from_this();
    connection->didReceiveResponse = [transfer](const UrlResponse& response) { transfer->status = response.statusCode(); };
    connection->didReceiveData = [transfer](const Bytes& chunk) { transfer->data.insert(transfer->data.end(), chunk.begin(), chunk.end()); };
    connection->didFailWithError = [weak, url](const UrlError& error) {
        if (error.code == UrlError::DataLengthExceedsMaximum)
            Log::format("ImageLoader: %s is larger than %zu bytes", url.c_str(), kMaxDownloadBytes);
        if (auto self = weak.lock())
            self->finish(url, nullptr);
    };
    connection->didFinishLoading = [transfer, weak, url] {
        auto self = weak.lock();
        if (!self)
            return;
        if (transfer->status < 200 || transfer->status >= 300) {
            self->finish(url, nullptr);
            return;
        }
        self->m_cache->storeData(url, std::move(transfer->data), [weak, url](std::shared_ptr<Image> image) {
            if (auto self = weak.lock())
                self->finish(url, image);
        });
    };
    connection->start();
}

void ImageLoader::finish(const std::string& url, const std::shared_ptr<Image>& image)
{
    auto it = m_waiting.find(url);
    if (it == m_waiting.end())
        return;
    auto answers = std::move(it->second);
    m_waiting.erase(it);
    for (auto& answer : answers)
        if (answer)
            answer(image);
}

}
