// Pictures: decoding the sample icons and carousel banners beside libpng decoding the same
// bytes, and the image cache answering from memory, from disk and from a download.

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/graphics/Image.h"
#include "platform/kit/ImageCache.h"
#include "platform/kit/ImageLoader.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/testing/TestHttpServer.h"
#include "tools/portal/PortalImages.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// The app's own icons and the portal's gift icons and carousel pictures, as PNG bytes.
const std::vector<pf::Bytes>& samplePictures()
{
    static const std::vector<pf::Bytes> pictures = [] {
        std::vector<pf::Bytes> made;
        for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_BENCH_RESOURCES)) {
            if (entry.path().extension() != ".png")
                continue;
            std::ifstream file(entry.path(), std::ios::binary);
            made.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        }
        for (int i = 0; i < 20; ++i) {
            auto icon = portal::PortalImages::icon("剑侠情缘", i);
            made.emplace_back(icon.begin(), icon.end());
        }
        for (int i = 0; i < 5; ++i) {
            auto banner = portal::PortalImages::banner("新服开启 豪礼相送", i);
            made.emplace_back(banner.begin(), banner.end());
        }
        return made;
    }();
    return pictures;
}

void ImageDecode(benchmark::State& state)
{
    const auto& pictures = samplePictures();
    for (auto _ : state) {
        for (const auto& bytes : pictures) {
            auto image = pf::Image::decode(bytes);
            if (!image)
                state.SkipWithError("a sample picture did not decode");
            benchmark::DoNotOptimize(image);
        }
    }
}

void ImageDecodeFloor(benchmark::State& state)
{
    const auto& pictures = samplePictures();
    std::vector<unsigned char> pixels;
    for (auto _ : state) {
        for (const auto& bytes : pictures) {
            png_image image {};
            image.version = PNG_IMAGE_VERSION;
            if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
                state.SkipWithError("libpng refused a sample picture");
                break;
            }
            image.format = PNG_FORMAT_BGRA;
            pixels.resize(PNG_IMAGE_SIZE(image));
            png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
            benchmark::DoNotOptimize(pixels.data());
        }
    }
}

// --- the cache, over a local server serving a carousel picture ---

struct CacheFixture {
    pf::TaskEnvironment env;
    pf::TestHttpServer server;
    std::shared_ptr<pf::ImageLoader> loader;
    int next { 0 };

    CacheFixture()
    {
        auto banner = portal::PortalImages::banner("新服开启 豪礼相送", 1);
        server.reply("GET", "/img/banner.png", 200, std::string(banner.begin(), banner.end()), "image/png");
        loader = pf::ImageLoader::create(pf::ImageCache::create(env.sandbox().homePath() + "/bench-cache"));
    }

    std::string freshURL() { return server.url("/img/banner.png?n=" + std::to_string(next++)); }

    // Loads and waits for the answer on the main loop.
    bool load(const std::string& url)
    {
        bool answered = false;
        std::shared_ptr<pf::Image> image;
        loader->loadImage(url, [&](std::shared_ptr<pf::Image> i) {
            answered = true;
            image = std::move(i);
        });
        return env.runUntil([&] { return answered; }) && image;
    }
};

void ImageCacheMiss(benchmark::State& state)
{
    CacheFixture f;
    for (auto _ : state) {
        if (!f.load(f.freshURL()))
            state.SkipWithError("a download did not come back as a picture");
    }
}

void ImageCacheDiskHit(benchmark::State& state)
{
    CacheFixture f;
    std::string url = f.freshURL();
    f.load(url);
    for (auto _ : state) {
        f.loader->cache().clearMemory();
        if (!f.load(url))
            state.SkipWithError("the disk entry did not come back");
    }
    if (f.server.requestCount() != 1)
        state.SkipWithError("a disk hit went to the server");
}

void ImageCacheMemoryHit(benchmark::State& state)
{
    CacheFixture f;
    std::string url = f.freshURL();
    f.load(url);
    for (auto _ : state) {
        if (!f.load(url))
            state.SkipWithError("the memory entry did not come back");
    }
}

}

BENCHMARK(ImageDecode)->MinTime(0.1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ImageDecodeFloor)->MinTime(0.1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ImageCacheMiss)->MinTime(0.1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ImageCacheDiskHit)->MinTime(0.1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ImageCacheMemoryHit)->MinTime(0.1)->Unit(benchmark::kMicrosecond);
