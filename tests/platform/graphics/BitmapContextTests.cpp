#include "platform/graphics/BitmapContext.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace pf;

namespace {

int countPixels(const Image& image, const Rect& area, const std::function<bool(const Color&)>& test)
{
    int n = 0;
    for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x)
            n += test(image.colorAt(x, y));
    return n;
}

bool isClear(const Color& c) { return c.alpha == 0; }

}

TEST(BitmapContext, FillsStrokesAndClearsInPointsAtTheContextScale)
{
    BitmapContext context({ 10, 5 }, 2);
    ASSERT_TRUE(context.isValid());
    EXPECT_EQ(context.pixelWidth(), 20);
    EXPECT_EQ(context.pixelHeight(), 10);
    EXPECT_TRUE(isClear(context.makeImage()->colorAt(0, 0)));

    context.setFillColor(Color::rgb(1, 0, 0, 0.5));
    context.fillRect(Rect(0, 0, 5, 5));
    context.setStrokeColor(Color::blue_());
    context.setLineWidth(1);
    context.strokeLine({ 7.5, 0 }, { 7.5, 5 });
    context.clearRect(Rect(0, 0, 1, 1));
    auto image = context.makeImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_EQ(image->size(), (Size { 10, 5 }));
    Color half = image->colorAt(5, 5);
    EXPECT_NEAR(half.red, 1, 0.01);
    EXPECT_NEAR(half.alpha, 0.5, 0.01);
    EXPECT_TRUE(isClear(image->colorAt(12, 5)));
    EXPECT_EQ(image->colorAt(15, 3), Color::blue_());
    EXPECT_TRUE(isClear(image->colorAt(1, 1)));
}

TEST(BitmapContext, RoundedRectanglesLeaveTheCornersOpen)
{
    BitmapContext context({ 40, 40 });
    context.setFillColor(Color::black());
    context.fillRoundedRect(Rect(0, 0, 40, 40), 10);
    auto image = context.makeImage();
    EXPECT_TRUE(isClear(image->colorAt(0, 0)));
    EXPECT_TRUE(isClear(image->colorAt(39, 39)));
    EXPECT_EQ(image->colorAt(20, 0), Color::black());
    EXPECT_EQ(image->colorAt(20, 20), Color::black());
    // A radius larger than half the side is limited to it (a circle, not garbage).
    BitmapContext circle({ 20, 20 });
    circle.setFillColor(Color::black());
    circle.fillRoundedRect(Rect(0, 0, 20, 20), 500);
    auto round = circle.makeImage();
    EXPECT_TRUE(isClear(round->colorAt(1, 1)));
    EXPECT_EQ(round->colorAt(10, 10), Color::black());
}

TEST(BitmapContext, TransformsAndClipsBelongToTheSavedState)
{
    BitmapContext context({ 20, 20 });
    context.saveState();
    context.translate(10, 10);
    context.rotate(M_PI / 2);
    context.setFillColor(Color::red_());
    // After a quarter turn about (10, 10), +x points down: this lands in the lower-right quarter
    // shifted left, i.e. x 5..10, y 10..20.
    context.fillRect(Rect(0, 0, 10, 5));
    context.restoreState();
    context.clipToRect(Rect(0, 0, 5, 5));
    context.fillRect(Rect(0, 0, 20, 20)); // colour restored to black, clipped to the corner
    auto image = context.makeImage();
    EXPECT_EQ(image->colorAt(7, 15), Color::red_());
    EXPECT_TRUE(isClear(image->colorAt(12, 15)));
    EXPECT_EQ(image->colorAt(2, 2), Color::black());
    EXPECT_TRUE(isClear(image->colorAt(7, 2)));
    // Unbalanced restores and singular scales are ignored.
    context.restoreState();
    context.scaleBy(0, 1);
    context.fillRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(context.makeImage()->colorAt(0, 0), Color::black());
}

TEST(BitmapContext, DrawsImagesStretchedIntoTheirRectangle)
{
    Image two(2, 1);
    two.pixels() = { Image::pixelFromColor(Color::red_()), Image::pixelFromColor(Color::blue_()) };
    BitmapContext context({ 40, 20 });
    context.drawImage(two, Rect(0, 0, 40, 10));
    context.drawImage(two, Rect(0, 10, 40, 10), 0.5);
    auto image = context.makeImage();
    EXPECT_EQ(image->colorAt(2, 5), Color::red_());
    EXPECT_EQ(image->colorAt(37, 5), Color::blue_());
    EXPECT_NEAR(image->colorAt(2, 15).alpha, 0.5, 0.01);
    // Nothing outside the destination.
    BitmapContext small({ 10, 10 });
    small.drawImage(two, Rect(2, 2, 4, 4));
    auto drawn = small.makeImage();
    EXPECT_EQ(countPixels(*drawn, Rect(0, 0, 10, 10), [](const Color& c) { return c.alpha > 0; }), 16);
}

TEST(BitmapContext, TextIsDrawnInsideItsRectangleOnly)
{
    BitmapContext context({ 120, 60 });
    context.drawText("礼包 gift", Rect(10, 10, 100, 30), Font::system(17), Color::black());
    // Invalid UTF-8 is drawn as far as it goes, never refused with a crash.
    context.drawText(std::string("ok \xFF\xFE", 5), Rect(10, 40, 100, 20), Font::system(12), Color::black());
    auto image = context.makeImage();
    auto inked = [](const Color& c) { return c.alpha > 0.5; };
    EXPECT_GT(countPixels(*image, Rect(10, 10, 100, 30), inked), 30);
    EXPECT_EQ(countPixels(*image, Rect(0, 0, 120, 10), inked), 0);
    EXPECT_EQ(countPixels(*image, Rect(0, 0, 10, 60), inked), 0);
    EXPECT_GT(countPixels(*image, Rect(10, 40, 100, 20), inked), 5);
}

TEST(BitmapContext, EmptyOrOversizedContextsDrawNothing)
{
    for (Size size : { Size { 0, 10 }, Size { 10, -1 }, Size { 1e6, 1e6 }, Size { NAN, 3 } }) {
        BitmapContext context(size);
        EXPECT_FALSE(context.isValid());
        context.fillRect(Rect(0, 0, 5, 5));
        EXPECT_FALSE(context.makeImage());
    }
    // Fractional sizes round up to whole pixels.
    BitmapContext odd({ 10.2, 3.5 }, 2);
    EXPECT_EQ(odd.pixelWidth(), 21);
    EXPECT_EQ(odd.pixelHeight(), 7);
}
