#include "platform/foundation/Bundle.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/kit/GifView.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/DumpAttributes.h"

#include <gtest/gtest.h>

using namespace pf;

namespace {

std::shared_ptr<Image> animation(std::vector<double> delays)
{
    auto image = std::make_shared<Image>(4, 2);
    image->setName("test.gif");
    for (double delay : delays)
        image->frames().push_back({ std::make_shared<Image>(4, 2), delay });
    return image;
}

}

TEST(GifView, FramesFollowTheirDelaysOnTheRunLoopClock)
{
    TaskEnvironment env;
    auto view = GifView::withImage(animation({ 0.1, 0.3, 0.2 }));
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->currentFrameIndex(), 0u);

    env.fastForwardBy(0.099);
    EXPECT_EQ(view->currentFrameIndex(), 0u);
    env.fastForwardBy(0.001);
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    env.fastForwardBy(0.3);
    EXPECT_EQ(view->currentFrameIndex(), 2u);
    env.fastForwardBy(0.2);
    EXPECT_EQ(view->currentFrameIndex(), 0u) << "round and round";
    // Ten whole rounds later it is back where it was, without drifting.
    env.fastForwardBy(6.0);
    EXPECT_EQ(view->currentFrameIndex(), 0u);
    env.fastForwardBy(0.15);
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    EXPECT_EQ(view->currentFrame(), view->image()->frames()[1].image);

    view->stopAnimating();
    env.fastForwardBy(5);
    EXPECT_EQ(view->currentFrameIndex(), 1u);
    view->startAnimating();
    env.fastForwardBy(0.3);
    EXPECT_EQ(view->currentFrameIndex(), 2u);

    // A new picture starts from its first frame.
    view->setImage(animation({ 1, 1 }));
    EXPECT_EQ(view->currentFrameIndex(), 0u);
    env.fastForwardBy(1);
    EXPECT_EQ(view->currentFrameIndex(), 1u);
}

TEST(GifView, StillPicturesAndGoneViewsScheduleNothing)
{
    TaskEnvironment env;
    auto& loop = RunLoop::main();
    auto still = GifView::withImage(std::make_shared<Image>(2, 2));
    EXPECT_FALSE(still->isAnimating());
    EXPECT_EQ(still->frameCount(), 1u);
    EXPECT_EQ(loop.scheduledCount(), 0u);

    auto empty = GifView::withGifFile("/nonexistent/refresh.gif");
    EXPECT_EQ(empty->frame(), Rect(0, 0, 0, 0));
    EXPECT_EQ(empty->frameCount(), 0u);
    EXPECT_EQ(empty->pixelSize(), (Size { 0, 0 }));
    EXPECT_FALSE(empty->currentFrame());
    EXPECT_EQ(loop.scheduledCount(), 0u);

    auto playing = GifView::withImage(animation({ 0.1, 0.1 }));
    EXPECT_EQ(loop.scheduledCount(), 1u);
    playing.reset();
    EXPECT_EQ(loop.scheduledCount(), 0u);
    env.fastForwardBy(1);
}

TEST(GifView, BundleIndicatorsPlayAtTheirOwnSize)
{
    TaskEnvironment env;
    for (const char* name : { "loading.gif", "refresh.gif", "page_loading.gif" }) {
        auto path = Bundle::main()->pathForResource(name);
        ASSERT_TRUE(path) << name;
        auto view = GifView::withGifFile(*path);
        ASSERT_TRUE(view->image()) << name;
        EXPECT_GT(view->frameCount(), 1u) << name;
        EXPECT_TRUE(view->isAnimating());
        EXPECT_EQ(view->frame().size, view->pixelSize());
        DumpAttributes attributes;
        view->dumpAttributes(attributes);
        EXPECT_NE(attributes.format().find(name), std::string::npos) << attributes.format();
    }
}
