#pragma once

#include "platform/foundation/Value.h"
#include "platform/graphics/Image.h"

#include <functional>
#include <memory>
#include <string>

namespace pf {

// The image cache of downloaded pictures: decoded images in memory (least recently used first
// out, bounded by pixel bytes) and the downloaded bytes on disk in the folder "ImageCache" of
// the sandbox's caches folder, one file per address, named by the MD5 of the address.
//
// Rules:
// - Memory calls are for the main thread. Disk reads, disk writes and decoding run in order on
//   the cache's own serial queue; their answers come on the main run loop and count as
//   pending work until they have run.
// - A disk entry is stamped with the main run loop's clock when written and expires
//   `kMaxAge` (7 days) later: an expired entry is a miss and is removed; `cleanDisk` removes
//   all expired entries.
// - Entries are written without waiting for the disk. A cache's first job (the shared cache's
//   at each launch, and a test's fresh device) removes the temporary files that writes killed
//   part-way left in its folder; later writes, behind it on the queue, leave none.
// - Only data that decodes as an image is kept; anything else is dropped and answered with
//   nullptr.
// - The shared cache's folder is in the current sandbox; a test's fresh device
//   (ResetRegistry) starts it with an empty memory cache.
// - The shared cache empties its memory on the application's memory warning and cleans its
//   disk when the application enters the background or terminates.
class DispatchQueue;

class ImageCache : public std::enable_shared_from_this<ImageCache> {
public:
    static constexpr double kMaxAge = 7 * 24 * 60 * 60;
    static constexpr size_t kDefaultMemoryLimit = 48u * 1024 * 1024;
    using Answer = std::function<void(std::shared_ptr<Image>)>;

    static std::shared_ptr<ImageCache> shared();
    // A cache over its own folder (created when first written).
    static std::shared_ptr<ImageCache> create(std::string folder);
    ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;

    std::string folder() const;
    std::string pathForKey(const std::string& key) const;

    // --- memory (main thread) ---
    std::shared_ptr<Image> imageFromMemory(const std::string& key);
    void storeInMemory(const std::string& key, std::shared_ptr<Image> image);
    void removeFromMemory(const std::string& key);
    void clearMemory();
    size_t memoryCost() const { return m_memoryCost; }
    void setMemoryLimit(size_t bytes);

    // --- disk (answers on the main run loop) ---
    // Reads and decodes the entry; nullptr when missing, expired or not an image. A hit is
    // also kept in memory.
    void queryDisk(const std::string& key, Answer answer);
    // Decodes `data`; when it is an image, keeps it in memory and writes the bytes to disk,
    // then answers the image. Otherwise answers nullptr and keeps nothing.
    void storeData(const std::string& key, Bytes data, Answer answer);
    void removeImage(const std::string& key);
    void clearDisk();
    // Removes every entry older than `kMaxAge`.
    void cleanDisk();

private:
    struct Memory;
    explicit ImageCache(std::string folder);
    void startFresh();
    void removeLeftovers();
    void observeApplication();
    void submit(std::function<void()> job);
    void trimMemory();

    std::string m_folder; // empty: the current sandbox's caches folder
    size_t m_memoryLimit { kDefaultMemoryLimit };
    size_t m_memoryCost { 0 };
    std::unique_ptr<Memory> m_memory;
    std::shared_ptr<DispatchQueue> m_queue;
};

}
