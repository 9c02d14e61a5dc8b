#include "platform/foundation/Application.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/graphics/Image.h"
#include "platform/kit/ImageCache.h"
#include "platform/kit/ImageLoader.h"
#include "platform/kit/ImageViewLoader.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace pf;

namespace {

std::string pngBody(int w, int h, Color color = Color::rgb(1, 0, 0))
{
    Image image(w, h);
    for (auto& p : image.pixels())
        p = Image::pixelFromColor(color);
    Bytes png = image.pngData();
    return std::string(png.begin(), png.end());
}

struct Loaded {
    bool answered { false };
    std::shared_ptr<Image> image;
};

std::shared_ptr<Loaded> load(const std::string& url)
{
    auto result = std::make_shared<Loaded>();
    ImageLoader::shared()->loadImage(url, [result](std::shared_ptr<Image> image) {
        result->answered = true;
        result->image = std::move(image);
    });
    return result;
}

class ImageLoading : public ::testing::Test {
protected:
    TaskEnvironment env;
    TestHttpServer server;

    void SetUp() override
    {
        server.reply("GET", "/icon.png", 200, pngBody(8, 6), "image/png");
        server.reply("GET", "/other.png", 200, pngBody(3, 3, Color::blue_()), "image/png");
    }

    std::shared_ptr<Loaded> loadAndWait(const std::string& url)
    {
        auto result = load(url);
        EXPECT_TRUE(env.runUntil([&] { return result->answered; }));
        env.waitForPendingWork();
        return result;
    }

    size_t filesInCache() { return FileManager::contentsOfDirectory(ImageCache::shared()->folder()).size(); }

    // Serves a `side` x `side` PNG at `path` that is held back until the server releases it.
    void serveHeld(const std::string& path, int side)
    {
        TestHttpServer::Response held;
        held.body = pngBody(side, side);
        held.contentType = "image/png";
        held.hold = true;
        server.on("GET", path, [held](const TestHttpServer::Request&) { return held; });
    }
};

}

TEST_F(ImageLoading, DownloadsOnceThenAnswersFromMemoryAndDisk)
{
    std::string url = server.url("/icon.png");
    auto first = loadAndWait(url);
    ASSERT_TRUE(first->image);
    EXPECT_EQ(first->image->pixelWidth(), 8);
    EXPECT_EQ(first->image->name(), url);
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_TRUE(FileManager::exists(ImageCache::shared()->pathForKey(url)));

    // A memory hit answers at once, before the loop runs.
    auto second = load(url);
    EXPECT_TRUE(second->answered);
    EXPECT_EQ(second->image, first->image);

    // After the memory is gone (a new launch), the disk answers without a download.
    ImageCache::shared()->clearMemory();
    auto third = loadAndWait(url);
    ASSERT_TRUE(third->image);
    EXPECT_EQ(third->image->pixels(), first->image->pixels());
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(ImageLoading, DiskEntriesExpireAfterSevenDaysOnTheAppClock)
{
    std::string url = server.url("/icon.png");
    ASSERT_TRUE(loadAndWait(url)->image);
    auto cache = ImageCache::shared();

    cache->clearMemory();
    env.fastForwardBy(ImageCache::kMaxAge - 60);
    ASSERT_TRUE(loadAndWait(url)->image);
    EXPECT_EQ(server.requestCount(), 1u);

    cache->clearMemory();
    env.fastForwardBy(120);
    ASSERT_TRUE(loadAndWait(url)->image);
    EXPECT_EQ(server.requestCount(), 2u) << "an expired entry is fetched again";

    // Cleaning, when the app goes to the background, removes only what has expired.
    ASSERT_TRUE(loadAndWait(server.url("/other.png"))->image);
    env.fastForwardBy(ImageCache::kMaxAge - 10);
    std::string recent = pngBody(2, 2);
    cache->storeData("recent", Bytes(recent.begin(), recent.end()), nullptr);
    env.waitForPendingWork();
    env.fastForwardBy(20);
    NotificationCenter::defaultCenter().post(Application::kDidEnterBackgroundNotification);
    env.waitForPendingWork();
    EXPECT_FALSE(FileManager::exists(cache->pathForKey(url)));
    EXPECT_FALSE(FileManager::exists(cache->pathForKey(server.url("/other.png"))));
    EXPECT_TRUE(FileManager::exists(cache->pathForKey("recent")));
    // A memory warning empties the memory, not the disk.
    EXPECT_TRUE(cache->imageFromMemory("recent"));
    NotificationCenter::defaultCenter().post(Application::kDidReceiveMemoryWarningNotification);
    EXPECT_FALSE(cache->imageFromMemory("recent"));
    EXPECT_EQ(cache->memoryCost(), 0u);
}

TEST_F(ImageLoading, ConcurrentRequestsForOneAddressDownloadOnce)
{
    serveHeld("/slow.png", 5);
    std::string url = server.url("/slow.png");

    auto a = load(url), b = load(url), c = load(url);
    EXPECT_EQ(ImageLoader::shared()->loadingCount(), 1u);
    ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 1; }));
    auto d = load(url);
    server.releaseHeld();
    ASSERT_TRUE(env.runUntil([&] { return a->answered && b->answered && c->answered && d->answered; }));
    EXPECT_EQ(server.requestCount(), 1u);
    ASSERT_TRUE(a->image);
    EXPECT_EQ(b->image, a->image);
    EXPECT_EQ(d->image, a->image);
    EXPECT_EQ(ImageLoader::shared()->loadingCount(), 0u);
}

TEST_F(ImageLoading, FailuresAnswerNothingAndCacheNothing)
{
    server.reply("GET", "/missing.png", 404, pngBody(4, 4), "image/png");
    server.reply("GET", "/page.html", 200, "<html>oops</html>", "text/html");
    TestHttpServer::Response cut;
    cut.body = pngBody(64, 64, Color::rgb(0.3, 0.6, 0.9));
    cut.contentType = "image/png";
    cut.truncateAfter = cut.body.size() / 2;
    server.on("GET", "/cut.png", [cut](const TestHttpServer::Request&) { return cut; });
    std::string refused;
    {
        TestHttpServer gone;
        refused = gone.url("/icon.png");
    }

    for (std::string url : { server.url("/missing.png"), server.url("/page.html"), server.url("/cut.png"), refused,
             std::string("file:///etc/hostname"), std::string("ftp://127.0.0.1/x.png"), std::string("not a url"),
             std::string("http:///nohost.png") }) {
        auto result = loadAndWait(url);
        EXPECT_TRUE(result->answered) << url;
        EXPECT_FALSE(result->image) << url;
    }
    EXPECT_EQ(filesInCache(), 0u);

    // A failure is not remembered: the next request tries again.
    size_t before = server.requestCount();
    loadAndWait(server.url("/missing.png"));
    EXPECT_EQ(server.requestCount(), before + 1);
}

TEST_F(ImageLoading, ViewsShowThePlaceholderThenThePictureAndKeepItOnFailure)
{
    auto placeholder = std::make_shared<Image>(1, 1);
    auto view = std::make_shared<ImageView>();
    view->setImage(std::make_shared<Image>(9, 9)); // what a reused cell showed before

    ImageViewLoader::setImageWithURL(view, server.url("/icon.png"), placeholder);
    EXPECT_EQ(view->image(), placeholder);
    EXPECT_EQ(ImageViewLoader::pendingURL(view), server.url("/icon.png"));
    ASSERT_TRUE(env.runUntil([&] { return view->image() != placeholder; }));
    EXPECT_EQ(view->image()->pixelWidth(), 8);
    EXPECT_EQ(ImageViewLoader::pendingURL(view), "");

    server.reply("GET", "/bad.png", 200, "not a picture");
    ImageViewLoader::setImageWithURL(view, server.url("/bad.png"), placeholder);
    env.waitForPendingWork();
    EXPECT_EQ(view->image(), placeholder);

    // Without a placeholder the view is emptied at once, and a memory hit fills it at once.
    ImageViewLoader::setImageWithURL(view, server.url("/bad.png"));
    EXPECT_FALSE(view->image());
    ImageViewLoader::setImageWithURL(view, server.url("/icon.png"));
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->pixelWidth(), 8);
    // An empty address (a record without a picture) shows nothing.
    ImageViewLoader::setImageWithURL(view, "");
    EXPECT_FALSE(view->image());
    env.waitForPendingWork();
    EXPECT_FALSE(view->image());
}

TEST_F(ImageLoading, AViewReusedForAnotherAddressNeverShowsTheEarlierPicture)
{
    serveHeld("/first.png", 7);

    auto view = std::make_shared<ImageView>();
    auto gone = std::make_shared<ImageView>();
    ImageViewLoader::setImageWithURL(view, server.url("/first.png"));
    ImageViewLoader::setImageWithURL(gone, server.url("/first.png"));
    ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 1; }));
    ImageViewLoader::setImageWithURL(view, server.url("/other.png"));
    ASSERT_TRUE(env.runUntil([&] { return view->image() != nullptr; }));
    EXPECT_EQ(view->image()->pixelWidth(), 3);
    gone.reset(); // a view that goes away before its picture arrives

    server.releaseHeld();
    env.waitForPendingWork();
    EXPECT_EQ(view->image()->pixelWidth(), 3);
    // The earlier picture still arrived and was cached for whoever asks next.
    EXPECT_TRUE(ImageCache::shared()->imageFromMemory(server.url("/first.png")));

    ImageViewLoader::setImageWithURL(view, server.url("/first.png"));
    ImageViewLoader::cancelLoad(view);
    EXPECT_EQ(view->image()->pixelWidth(), 7) << "a memory hit is shown at once, before any cancel";
}

TEST_F(ImageLoading, MemoryCacheDropsTheLeastRecentlyUsedBeyondItsLimit)
{
    auto cache = ImageCache::create(Sandbox::current()->tmpPath() + "/cache");
    auto a = std::make_shared<Image>(10, 10), b = std::make_shared<Image>(10, 10), c = std::make_shared<Image>(10, 10);
    cache->setMemoryLimit(2 * 400);
    cache->storeInMemory("a", a);
    cache->storeInMemory("b", b);
    EXPECT_EQ(cache->imageFromMemory("a"), a); // a is now the most recent
    cache->storeInMemory("c", c);
    EXPECT_EQ(cache->imageFromMemory("a"), a);
    EXPECT_FALSE(cache->imageFromMemory("b"));
    EXPECT_EQ(cache->imageFromMemory("c"), c);
    EXPECT_EQ(cache->memoryCost(), 800u);
    // One picture larger than the whole limit is still kept while it is the newest.
    auto huge = std::make_shared<Image>(40, 40);
    cache->storeInMemory("huge", huge);
    EXPECT_EQ(cache->imageFromMemory("huge"), huge);
    EXPECT_FALSE(cache->imageFromMemory("a"));
}

TEST(ImageLoadingAcrossLaunches, ALoadCutOffWithItsLaunchDoesNotBlockTheNextOne)
{
    TestHttpServer server;
    int calls = 0;
    server.on("GET", "/p.png", [&calls](const TestHttpServer::Request&) {
        TestHttpServer::Response response;
        response.body = pngBody(2, 2);
        response.contentType = "image/png";
        response.hold = calls++ == 0;
        return response;
    });
    std::string url = server.url("/p.png");
    {
        TaskEnvironment env;
        auto cut = load(url);
        ASSERT_TRUE(env.runUntil([&] { return server.requestCount() == 1; }));
        UrlConnection::cancelAll(); // the process ends with the download on its way
        EXPECT_FALSE(cut->answered);
    }
    server.releaseHeld();
    TaskEnvironment env;
    auto next = load(url);
    ASSERT_TRUE(env.runUntil([&] { return next->answered; }));
    EXPECT_TRUE(next->image);
}

TEST_F(ImageLoading, WhatAnAnswerCapturesIsDestroyedOnTheMainThreadOnly)
{
    // The cache's queue finishes with a job just as the main thread runs its answer: the
    // answer's captures must not die with the job on the queue's thread.
    std::string url = server.url("/icon.png");
    ASSERT_TRUE(loadAndWait(url)->image);
    struct Witness {
        std::atomic<int>* offMain;
        ~Witness()
        {
            if (!RunLoop::main().isMainThread())
                ++*offMain;
        }
    };
    std::atomic<int> offMain { 0 };
    int answered = 0;
    for (int i = 0; i < 400; ++i) {
        auto witness = std::make_shared<Witness>(Witness { &offMain });
        ImageCache::shared()->queryDisk(url, [witness, &answered](std::shared_ptr<Image> image) { answered += image ? 1 : 0; });
    }
    ASSERT_TRUE(env.waitForPendingWork());
    EXPECT_EQ(answered, 400);
    EXPECT_EQ(offMain.load(), 0);
}
