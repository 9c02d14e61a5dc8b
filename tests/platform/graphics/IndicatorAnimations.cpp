// The app bundle's indicator animations ("loading.gif", "refresh.gif", "page_loading.gif") are
// made here, not drawn by hand, so they can be remade exactly. To remake them:
//   QUORVANE_GIF_FOLDER=<repo>/app/resources platform_graphics_tests
//       --gtest_also_run_disabled_tests --gtest_filter='*IndicatorAnimations*'

#include "GifWriter.h"

#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace {

// Eight dots on a ring; in frame k dot k is the accent colour and the dot behind it mid grey.
pf::Bytes spinner(int size, int frameCount, int delayCentiseconds)
{
    const std::vector<pf::Color> palette { pf::Color::clear(), pf::Color::rgb(0.82, 0.82, 0.82),
        pf::Color::rgb(0.56, 0.56, 0.56), pf::Color::rgb(1.0, 0xB7 / 255.0, 0x01 / 255.0) };
    const int dots = 8;
    double center = size / 2.0, ring = size * 0.34, radius = size * 0.1;
    std::vector<testing_gif::Frame> frames;
    for (int k = 0; k < frameCount; ++k) {
        testing_gif::Frame frame { 0, 0, size, size, std::vector<std::uint8_t>(size * size, 0), delayCentiseconds, 0, 2 };
        for (int d = 0; d < dots; ++d) {
            double angle = 2 * M_PI * d / dots - M_PI / 2;
            double cx = center + ring * std::cos(angle), cy = center + ring * std::sin(angle);
            std::uint8_t index = d == k % dots ? 3 : d == (k + dots - 1) % dots ? 2 : 1;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= radius)
                        frame.indices[y * size + x] = index;
        }
        frames.push_back(std::move(frame));
    }
    return testing_gif::writeGif(size, size, palette, frames);
}

}

TEST(IndicatorAnimations, DISABLED_WriteBundleAnimations)
{
    const char* folder = std::getenv("QUORVANE_GIF_FOLDER");
    ASSERT_TRUE(folder) << "set QUORVANE_GIF_FOLDER to the bundle's resource folder";
    struct Animation {
        const char* name;
        int size;
        int delay;
    };
    // Shown at half their pixel size: a 20-point footer spinner, the 18-point pull-to-refresh
    // spinner and the 40-point page loading spinner.
    for (Animation animation : { Animation { "loading.gif", 40, 8 }, Animation { "refresh.gif", 36, 10 }, Animation { "page_loading.gif", 80, 10 } }) {
        pf::Bytes data = spinner(animation.size, 8, animation.delay);
        ASSERT_TRUE(pf::Image::decode(data));
        std::ofstream out(std::string(folder) + "/" + animation.name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        ASSERT_TRUE(out.good());
    }
}
