#include "tools/portal/PortalImages.h"

#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

using namespace portal;

namespace {

std::shared_ptr<pf::Image> decoded(const std::vector<unsigned char>& png)
{
    auto image = pf::Image::decode(pf::Bytes(png.begin(), png.end()));
    EXPECT_TRUE(image);
    return image;
}

}

TEST(PortalImages, CaptchaTilesLieWhereTheClientMapsTaps)
{
    auto image = decoded(PortalImages::captcha({ "天", "地" }, { "天", "地", "人", "和", "春", "夏", "秋", "冬", "风" }, 3));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->pixelWidth(), PortalImages::kCaptchaWidth);
    ASSERT_EQ(image->pixelHeight(), PortalImages::kCaptchaHeight);
    auto white = pf::Image::pixelFromColor(pf::Color::white());

    // The question strip spans (10, 10, 120, 40) on a white margin.
    auto strip = image->pixelAt(11, 11);
    EXPECT_NE(strip, white);
    EXPECT_EQ(image->pixelAt(128, 48), strip);
    EXPECT_EQ(image->pixelAt(9, 11), white);
    EXPECT_EQ(image->pixelAt(131, 48), white);

    // Nine plain 40 x 40 tiles in three rows from (10, 50), each with its word drawn inside,
    // neighbours told apart by colour.
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        int x = 10 + 40 * (i % 3), y = 50 + 40 * (i / 3);
        auto tile = image->pixelAt(x + 1, y + 1);
        EXPECT_NE(tile, white);
        EXPECT_NE(tile, strip);
        EXPECT_EQ(image->pixelAt(x + 38, y + 1), tile);
        EXPECT_EQ(image->pixelAt(x + 1, y + 38), tile);
        EXPECT_EQ(image->pixelAt(x + 38, y + 38), tile);
        if (i % 3 < 2) {
            EXPECT_NE(image->pixelAt(x + 41, y + 1), tile);
        }
        int inked = 0;
        for (int dy = 8; dy < 32; ++dy)
            for (int dx = 8; dx < 32; ++dx)
                inked += image->pixelAt(x + dx, y + dy) != tile;
        EXPECT_GT(inked, 40);
    }
    EXPECT_EQ(image->pixelAt(9, 60), white);
    EXPECT_EQ(image->pixelAt(60, 171), white);
}

TEST(PortalImages, EveryPictureIsAnOpaquePngOfItsSize)
{
    struct Case {
        const char* what;
        std::vector<unsigned char> png;
        int width, height;
    };
    for (const auto& [what, png, width, height] : { Case { "icon", PortalImages::icon("王者", 1), 80, 80 },
             Case { "banner", PortalImages::banner("新春礼包", 2), 320, 126 },
             Case { "avatar", PortalImages::avatar("", 3), 64, 64 } }) {
        auto image = decoded(png);
        ASSERT_TRUE(image) << what;
        EXPECT_EQ(image->pixelWidth(), width) << what;
        EXPECT_EQ(image->pixelHeight(), height) << what;
        EXPECT_EQ(image->colorAt(0, 0).alpha, 1.0) << what;
        EXPECT_EQ(image->colorAt(width - 1, height - 1).alpha, 1.0) << what;
    }
}
