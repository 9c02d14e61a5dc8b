#pragma once

#include "platform/graphics/Image.h"
#include "platform/kit/ImageCache.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pf {

// Loads pictures by address through an ImageCache: memory first, then disk, then a download
// with the platform's asynchronous HTTP, decoded and stored off the main thread.
//
// Rules:
// - Main thread only; every answer comes on the main run loop. A memory hit answers before
//   `loadImage` returns.
// - One address is looked up and downloaded once at a time: callers that ask while it is on
//   its way share the one answer.
// - Only http and https addresses are fetched. A transport failure, a status other than 2xx,
//   a body over `kMaxDownloadBytes` or bytes that are no image answer nullptr, and nothing is
//   cached.
// - A test's fresh device (ResetRegistry) makes the shared loader forget earlier loads.
class ImageLoader : public std::enable_shared_from_this<ImageLoader> {
public:
    static constexpr size_t kMaxDownloadBytes = 16u * 1024 * 1024;
    using Answer = std::function<void(std::shared_ptr<Image>)>;

    // Over ImageCache::shared().
    static std::shared_ptr<ImageLoader> shared();
    static std::shared_ptr<ImageLoader> create(std::shared_ptr<ImageCache> cache);

    ImageCache& cache() { return *m_cache; }
    void loadImage(const std::string& url, Answer answer);
    // Addresses being looked up or downloaded now.
    size_t loadingCount() const { return m_waiting.size(); }
    // Downloads started since creation (tests count them).
    int downloadCount() const { return m_downloads; }

private:
    explicit ImageLoader(std::shared_ptr<ImageCache> cache);
    void download(const std::string& url);
    void finish(const std::string& url, const std::shared_ptr<Image>& image);

    std::shared_ptr<ImageCache> m_cache;
    std::map<std::string, std::vector<Answer>> m_waiting;
    int m_downloads { 0 };
};

}
