#include "platform/graphics/Image.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

// Pixel (x, y) has red = x / 255 and green = y / 255, so every pixel tells where it came from.
std::shared_ptr<Image> coordinateImage(int w, int h)
{
    auto image = std::make_shared<Image>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image->pixels()[y * w + x] = 0xFF000000u | (x << 16) | (y << 8);
    return image;
}

bool cameFrom(const Image& image, int x, int y, int sourceX, int sourceY)
{
    return image.pixelAt(x, y) == (0xFF000000u | (sourceX << 16) | (sourceY << 8));
}

}

TEST(ImageOps, CropCopiesInPixelsClippedToTheImageAndRoundedOut)
{
    auto source = coordinateImage(100, 50);
    source->setScale(2);
    // The rectangle is in pixels whatever the source's scale, and the tile is at scale 1.
    auto tile = source->cropped(Rect(50, 10, 40, 40));
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->pixelWidth(), 40);
    EXPECT_EQ(tile->scale(), 1);
    EXPECT_TRUE(cameFrom(*tile, 39, 39, 89, 49));

    auto corner = source->cropped(Rect(80, -10, 40, 30));
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->pixelWidth(), 20);
    EXPECT_EQ(corner->pixelHeight(), 20);
    EXPECT_TRUE(cameFrom(*corner, 0, 0, 80, 0));

    auto fractional = source->cropped(Rect(10.5, 5.2, 2, 2));
    ASSERT_TRUE(fractional);
    EXPECT_EQ(fractional->pixelWidth(), 3);
    EXPECT_EQ(fractional->pixelHeight(), 3);
    EXPECT_TRUE(cameFrom(*fractional, 0, 0, 10, 5));

    // A negative size describes the same rectangle from its other corner.
    auto flipped = source->cropped(Rect(20, 20, -10, -10));
    ASSERT_TRUE(flipped);
    EXPECT_TRUE(cameFrom(*flipped, 0, 0, 10, 10));

    auto whole = source->cropped(Rect(-100, -100, 1000, 1000));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->pixels(), source->pixels());
}

TEST(ImageOps, CropOutsideOrEmptyGivesNothing)
{
    auto source = coordinateImage(100, 50);
    EXPECT_FALSE(source->cropped(Rect(100, 0, 10, 10)));
    EXPECT_FALSE(source->cropped(Rect(-10, 0, 10, 10)));
    EXPECT_FALSE(source->cropped(Rect(0, 50, 10, 10)));
    EXPECT_FALSE(source->cropped(Rect(5, 5, 0, 10)));
    EXPECT_FALSE(source->cropped(Rect(0, 0, 1e300, std::numeric_limits<double>::quiet_NaN())));
    EXPECT_FALSE(Image(0, 0).cropped(Rect(0, 0, 1, 1)));
}

TEST(ImageOps, ScalingAveragesAndKeepsSolidColours)
{
    Image checker(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker.pixels()[y * 4 + x] = Image::pixelFromColor((x + y) % 2 ? Color::white() : Color::black());
    auto small = checker.scaled(1, 1);
    ASSERT_TRUE(small);
    EXPECT_NEAR(small->colorAt(0, 0).red, 0.5, 0.1);

    Image solid(10, 10);
    for (auto& p : solid.pixels())
        p = Image::pixelFromColor(Color::rgb(0.2, 0.6, 1.0));
    auto big = solid.scaled(35, 7);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->pixelWidth(), 35);
    EXPECT_EQ(big->pixelHeight(), 7);
    for (int x : { 0, 17, 34 })
        for (int y : { 0, 6 })
            EXPECT_EQ(big->pixelAt(x, y), solid.pixelAt(0, 0)) << x << "," << y;

    EXPECT_FALSE(solid.scaled(0, 10));
    EXPECT_FALSE(solid.scaled(10, -1));
    EXPECT_FALSE(solid.scaled(Image::kMaxDimension + 1, 1));
}
