#include "platform/kit/ImageCache.h"

#include "platform/foundation/Application.h"
#include "platform/foundation/Crypto.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThreadBound.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ResetRegistry.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Sandbox.h"

#include <sys/stat.h>
#include <fcntl.h>

#include <cmath>
#include <list>
#include <unordered_map>

namespace pf {

namespace {

size_t costOf(const Image& image)
{
    size_t cost = image.pixels().size() * 4;
    for (const auto& frame : image.frames())
        cost += frame.image ? frame.image->pixels().size() * 4 : 0;
    return cost;
}

// Seconds since 1970 of the file's last write, or nothing when it does not exist.
std::optional<double> writtenAt(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
}

// Entries carry the app's clock, not the wall clock, so that expiry follows the clock the rest
// of the app (and every test) uses.
void stampWritten(const std::string& path, double time)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    double whole = std::floor(time);
    times[1].tv_sec = static_cast<time_t>(whole);
    times[1].tv_nsec = static_cast<long>((time - whole) * 1e9);
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

bool isExpired(double written, double now)
{
    return now - written > ImageCache::kMaxAge;
}

// The answer travels through the cache's queue bound to the main thread, so what it captured
// is never destroyed on the queue's thread.
using BoundAnswer = MainThreadBound<ImageCache::Answer>;

// Back on the main loop: a found image joins the memory cache, then the answer is given. The
// pending work ends once that has run.
void answerOnMain(std::weak_ptr<ImageCache> cache, std::shared_ptr<PendingWork> pending, std::string key,
    std::shared_ptr<Image> image, BoundAnswer answer)
{
    RunLoop::main().post([=] {
        (void)pending;
        if (auto self = cache.lock(); self && image)
            self->storeInMemory(key, image);
        if (auto& call = answer.get())
            call(image);
    });
}

}

struct ImageCache::Memory {
    using Entry = std::pair<std::string, std::shared_ptr<Image>>;
    std::list<Entry> order; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index;
};

std::shared_ptr<ImageCache> ImageCache::shared()
{
    // Never destroyed: its queue may still hold jobs while the process ends.
    static auto* cache = [] {
        auto* made = new std::shared_ptr<ImageCache>(new ImageCache({}));
        (*made)->startFresh();
        // A new device (a test) starts with an empty memory and observes its application anew.
        ResetRegistry::add([weak = std::weak_ptr<ImageCache>(*made)] {
            if (auto self = weak.lock())
                self->startFresh();
        });
        return made;
    }();
    return *cache;
}

std::shared_ptr<ImageCache> ImageCache::create(std::string folder)
{
    std::shared_ptr<ImageCache> cache(new ImageCache(std::move(folder)));
    cache->removeLeftovers();
    return cache;
}

ImageCache::ImageCache(std::string folder)
    : m_folder(std::move(folder))
    , m_memory(std::make_unique<Memory>())
    , m_queue(DispatchQueue::create("ImageCache"))
{
}

ImageCache::~ImageCache() = default;

void ImageCache::startFresh()
{
    clearMemory();
    removeLeftovers();
    observeApplication();
}

void ImageCache::removeLeftovers()
{
    auto pending = std::make_shared<PendingWork>();
    std::string directory = folder();
    submit([pending, directory] { FileManager::removeLeftoverTemporaries(FileManager::join(directory, "")); });
}

void ImageCache::observeApplication()
{
    auto& center = NotificationCenter::defaultCenter();
    std::weak_ptr<ImageCache> weak = weak_from_this();
    center.removeObserver(this);
    center.addObserver(weak, Application::kDidReceiveMemoryWarningNotification, [weak](const Notification&) {
        if (auto self = weak.lock())
            self->clearMemory();
    });
    for (const char* name : { Application::kDidEnterBackgroundNotification, Application::kWillTerminateNotification })
        center.addObserver(weak, name, [weak](const Notification&) {
            if (auto self = weak.lock())
                self->cleanDisk();
        });
}

std::string ImageCache::folder() const
{
    if (!m_folder.empty())
        return m_folder;
    return FileManager::join(Sandbox::current()->cachesPath(), "ImageCache");
}

std::string ImageCache::pathForKey(const std::string& key) const
{
    return FileManager::join(folder(), Crypto::md5Hex(key));
}

// --- memory ---

std::shared_ptr<Image> ImageCache::imageFromMemory(const std::string& key)
{
    PF_ASSERT_MAIN_THREAD();
    auto it = m_memory->index.find(key);
    if (it == m_memory->index.end())
        return nullptr;
    m_memory->order.splice(m_memory->order.begin(), m_memory->order, it->second);
    return it->second->second;
}

void ImageCache::storeInMemory(const std::string& key, std::shared_ptr<Image> image)
{
    PF_ASSERT_MAIN_THREAD();
    if (!image)
        return;
    removeFromMemory(key);
    m_memoryCost += costOf(*image);
    m_memory->order.emplace_front(key, std::move(image));
    m_memory->index[key] = m_memory->order.begin();
    trimMemory();
}

void ImageCache::removeFromMemory(const std::string& key)
{
    auto it = m_memory->index.find(key);
    if (it == m_memory->index.end())
        return;
    m_memoryCost -= costOf(*it->second->second);
    m_memory->order.erase(it->second);
    m_memory->index.erase(it);
}

void ImageCache::clearMemory()
{
    PF_ASSERT_MAIN_THREAD();
    m_memory->order.clear();
    m_memory->index.clear();
    m_memoryCost = 0;
}

void ImageCache::setMemoryLimit(size_t bytes)
{
    m_memoryLimit = bytes;
    trimMemory();
}

void ImageCache::trimMemory()
{
    // The newest entry stays even when it alone is over the limit: it is about to be shown.
    while (m_memoryCost > m_memoryLimit && m_memory->order.size() > 1)
        removeFromMemory(m_memory->order.back().first);
}

// --- disk ---

void ImageCache::submit(std::function<void()> job)
{
    m_queue->async([job = std::move(job)] {
        try {
            job();
        } catch (const std::exception& e) {
            Log::format("ImageCache: %s", e.what());
        }
    });
}

void ImageCache::queryDisk(const std::string& key, Answer plainAnswer)
{
    BoundAnswer answer(std::move(plainAnswer));
    auto pending = std::make_shared<PendingWork>();
    std::string path = pathForKey(key);
    double now = RunLoop::main().now();
    std::weak_ptr<ImageCache> weak = weak_from_this();
    submit([=] {
        std::shared_ptr<Image> image;
        if (auto written = writtenAt(path)) {
            if (!isExpired(*written, now)) {
                if (auto data = FileManager::read(path))
                    image = Image::decode(*data);
            }
            if (!image) // expired, damaged or unreadable: a miss, fetched again
                FileManager::removeFile(path);
        }
        if (image)
            image->setName(key);
        answerOnMain(weak, pending, key, image, answer);
    });
}

void ImageCache::storeData(const std::string& key, Bytes data, Answer plainAnswer)
{
    BoundAnswer answer(std::move(plainAnswer));
    auto pending = std::make_shared<PendingWork>();
    std::string directory = folder();
    std::string path = pathForKey(key);
    double now = RunLoop::main().now();
    std::weak_ptr<ImageCache> weak = weak_from_this();
    submit([=, data = std::move(data)] {
        auto image = Image::decode(data);
        if (image) {
            image->setName(key);
            std::string error;
            if (FileManager::createDirectory(directory, true, &error) || FileManager::isDirectory(directory)) {
                // Not flushed: an entry lost or cut short by a crash reads as a miss and is fetched
                // again, while waiting for the disk held every picture of a screen back.
                if (FileManager::writeAtomically(path, data, &error, false))
                    stampWritten(path, now);
                else
                    Log::format("ImageCache: cannot write %s: %s", path.c_str(), error.c_str());
            }
        }
        answerOnMain(weak, pending, key, image, answer);
    });
}

void ImageCache::removeImage(const std::string& key)
{
    removeFromMemory(key);
    auto pending = std::make_shared<PendingWork>();
    std::string path = pathForKey(key);
    submit([pending, path] { FileManager::removeFile(path); });
}

void ImageCache::clearDisk()
{
    auto pending = std::make_shared<PendingWork>();
    std::string directory = folder();
    // Its entries, each a file: anything else in the folder is not the cache's to take.
    submit([pending, directory] {
        for (const auto& name : FileManager::contentsOfDirectory(directory))
            FileManager::removeFile(FileManager::join(directory, name));
    });
}

void ImageCache::cleanDisk()
{
    auto pending = std::make_shared<PendingWork>();
    std::string directory = folder();
    double now = RunLoop::main().now();
    submit([pending, directory, now] {
        for (const auto& name : FileManager::contentsOfDirectory(directory)) {
            std::string path = FileManager::join(directory, name);
            if (auto written = writtenAt(path); written && isExpired(*written, now))
                FileManager::removeFile(path);
        }
    });
}

}
