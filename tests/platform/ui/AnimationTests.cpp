#include "UITestSupport.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/KeyframeAnimation.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/View.h"

using namespace pf;

namespace {

class AnimationTests : public UITest {
protected:
    std::shared_ptr<View> view = std::make_shared<View>(Rect { 0, 0, 100, 100 });
};

TEST_F(AnimationTests, ModelValuesJumpAndTheCompletionWaitsForTheClock)
{
    std::vector<bool> finished;
    Animation::animate(0.5, [&] { view->setFrame({ 200, 0, 100, 100 }); }, [&](bool f) { finished.push_back(f); });
    EXPECT_EQ(view->frame().x(), 200);
    EXPECT_EQ(view->layer().presentationPosition(), (Point { 50, 50 }));

    env.fastForwardBy(0.25);
    EXPECT_TRUE(finished.empty());
    Point mid = view->layer().presentationPosition();
    EXPECT_GT(mid.x, 50);
    EXPECT_LT(mid.x, 250);

    env.fastForwardBy(0.25);
    EXPECT_EQ(finished, (std::vector<bool> { true }));
    EXPECT_EQ(view->layer().presentationPosition(), (Point { 250, 50 }));
    EXPECT_EQ(view->layer().animationCount(), 0u);
}

TEST_F(AnimationTests, DelayShiftsTheCompletionAndNothingAnimatedCompletesOnTheNextTurn)
{
    bool done = false;
    Animation::animate(3.0, 1.0, {}, [&] { view->setAlpha(0); }, [&](bool) { done = true; });
    env.fastForwardBy(3.9);
    EXPECT_FALSE(done);
    EXPECT_GT(view->layer().presentationOpacity(), 0);
    EXPECT_LT(view->layer().presentationOpacity(), 0.1); // nearly faded out
    env.fastForwardBy(0.1);
    EXPECT_TRUE(done);

    // Setting a value to what it already is records nothing: the completion comes at once.
    bool unchanged = false;
    Animation::animate(3.0, [&] { view->setAlpha(0); }, [&](bool) { unchanged = true; });
    EXPECT_FALSE(unchanged);
    env.runUntilIdle();
    EXPECT_TRUE(unchanged);
}

TEST_F(AnimationTests, WithAnimationsOffTheCompletionRunsInsideTheCall)
{
    Animation::setAnimationsEnabled(false);
    std::vector<std::string> order;
    Animation::animate(0.3, [&] { view->setCenter({ 10, 10 }); order.push_back("changes"); }, [&](bool f) { order.push_back(f ? "finished" : "stopped"); });
    order.push_back("after");
    EXPECT_EQ(order, (std::vector<std::string> { "changes", "finished", "after" }));
    EXPECT_EQ(view->layer().animationCount(), 0u);

    // performWithoutAnimation restores the switch.
    Animation::setAnimationsEnabled(true);
    Animation::performWithoutAnimation([&] { EXPECT_FALSE(Animation::areAnimationsEnabled()); });
    EXPECT_TRUE(Animation::areAnimationsEnabled());
}

TEST_F(AnimationTests, RemovingOrReplacingAnAnimationCompletesItUnfinished)
{
    std::vector<bool> first, second;
    Animation::animate(1.0, [&] { view->setAlpha(0.5); }, [&](bool f) { first.push_back(f); });
    Animation::animate(1.0, [&] { view->setAlpha(0.2); }, [&](bool f) { second.push_back(f); });
    env.runUntilIdle();
    EXPECT_EQ(first, (std::vector<bool> { false })); // replaced
    view->layer().removeAllAnimations();
    env.runUntilIdle();
    EXPECT_EQ(second, (std::vector<bool> { false }));
    env.fastForwardBy(2);
    EXPECT_EQ(first.size(), 1u);
    EXPECT_EQ(second.size(), 1u);
}

TEST_F(AnimationTests, KeyframesFollowKeyTimesAndStayFilledForwards)
{
    auto animation = std::make_shared<KeyframeAnimation>("position");
    animation->values = { { 0, 0 }, { 210, 0 }, { 200, 0 } };
    animation->keyTimes = { 0, 0.4, 1 };
    animation->duration = 0.5;
    animation->fillForwards = true;
    animation->removedOnCompletion = false;

    bool committed = false;
    Transaction::begin();
    Transaction::setCompletionBlock([&] { committed = true; });
    view->layer().addAnimation(animation);
    Transaction::commit();

    env.fastForwardBy(0.2); // the first key time: the overshoot point
    EXPECT_NEAR(view->layer().presentationPosition().x, 210, 0.01);
    EXPECT_FALSE(committed);
    env.fastForwardBy(0.3);
    EXPECT_TRUE(committed);
    // Not removed and filled forwards: the last value stays shown, whatever the model says.
    EXPECT_EQ(view->layer().animationCount(), 1u);
    EXPECT_EQ(view->layer().presentationPosition(), (Point { 200, 0 }));
    view->layer().removeAllAnimations();
    EXPECT_EQ(view->layer().presentationPosition(), view->center());
}

TEST_F(AnimationTests, ATransactionCompletesWhenItsAnimationsAreRemovedOrWithNoneAtAll)
{
    int completions = 0;
    auto animation = std::make_shared<KeyframeAnimation>("position");
    animation->values = { { 0, 0 }, { 100, 0 } };
    animation->duration = 10;
    Transaction::begin();
    Transaction::setCompletionBlock([&] { ++completions; });
    view->layer().addAnimation(animation, "slide");
    Transaction::commit();
    EXPECT_EQ(view->layer().animationKeys(), (std::vector<std::string> { "slide" }));
    view->layer().removeAllAnimations();
    EXPECT_EQ(completions, 0); // never inside the removal
    env.runUntilIdle();
    EXPECT_EQ(completions, 1);

    Transaction::begin();
    Transaction::setCompletionBlock([&] { ++completions; });
    Transaction::commit();
    env.runUntilIdle();
    EXPECT_EQ(completions, 2);
}

TEST_F(AnimationTests, NamedAnimationsReportTheirNameWhenTheyStop)
{
    std::vector<std::string> stops;
    Animation::beginAnimations("fadeTip");
    Animation::setAnimationDuration(2.0);
    Animation::setAnimationDidStop([&](const std::string& name, bool finished) { stops.push_back(name + (finished ? " finished" : "")); });
    view->setAlpha(0);
    Animation::commitAnimations();
    env.fastForwardBy(1.9);
    EXPECT_TRUE(stops.empty());
    env.fastForwardBy(0.1);
    EXPECT_EQ(stops, (std::vector<std::string> { "fadeTip finished" }));
}

TEST_F(AnimationTests, ACompletionHoldingItsViewDoesNotKeepItAliveAfterTheLoopIsReset)
{
    std::weak_ptr<View> weak;
    {
        auto doomed = std::make_shared<View>();
        weak = doomed;
        Animation::animate(5, [&] { doomed->setAlpha(0); }, [doomed](bool) { doomed->removeFromSuperview(); });
    }
    EXPECT_FALSE(weak.expired());
    RunLoop::main().reset();
    EXPECT_TRUE(weak.expired());
}

}
