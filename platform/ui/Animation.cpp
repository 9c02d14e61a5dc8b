#include "platform/ui/Animation.h"

#include "platform/ui/AnimationTracker.h"
#include "platform/ui/View.h"

#include <memory>
#include <vector>

namespace pf {

namespace {
    struct Recording {
        double duration { 0 };
        double delay { 0 };
        AnimationOptions options;
        std::shared_ptr<AnimationTracker> tracker;
        // Named form only:
        std::string name;
        std::shared_ptr<std::function<void(const std::string&, bool)>> didStopSlot;
    };

    struct State {
        bool enabled { true };
        std::vector<Recording> open;
    };

    State& state()
    {
        static State s;
        return s;
    }
}

void Animation::animate(double duration, const std::function<void()>& animations, Completion completion)
{
    animate(duration, 0, AnimationOptions {}, animations, std::move(completion));
}

void Animation::animate(double duration, double delay, AnimationOptions options,
    const std::function<void()>& animations, Completion completion)
{
    if (!state().enabled) {
        if (animations)
            animations();
        if (completion)
            completion(true);
        return;
    }
    Recording rec;
    rec.duration = duration;
    rec.delay = delay;
    rec.options = options;
    rec.tracker = std::make_shared<AnimationTracker>(std::move(completion));
    state().open.push_back(rec);
    if (animations)
        animations();
    auto tracker = state().open.back().tracker;
    state().open.pop_back();
    tracker->seal(delay);
}

void Animation::setAnimationsEnabled(bool enabled)
{
    state().enabled = enabled;
}

bool Animation::areAnimationsEnabled()
{
    return state().enabled;
}

void Animation::performWithoutAnimation(const std::function<void()>& changes)
{
    bool was = state().enabled;
    state().enabled = false;
    if (changes)
        changes();
    state().enabled = was;
}

void Animation::beginAnimations(std::string name)
{
    Recording rec;
    rec.duration = 0.2;
    rec.name = name;
    // The stop handler may be set after `begin`; the tracker reads it when it runs.
    auto slot = std::make_shared<std::function<void(const std::string&, bool)>>();
    rec.didStopSlot = slot;
    rec.tracker = std::make_shared<AnimationTracker>([name, slot](bool finished) {
        if (*slot)
            (*slot)(name, finished);
    });
    state().open.push_back(rec);
}

void Animation::setAnimationDuration(double duration)
{
    if (!state().open.empty())
        state().open.back().duration = duration;
}

void Animation::setAnimationDelay(double delay)
{
    if (!state().open.empty())
        state().open.back().delay = delay;
}

void Animation::setAnimationCurve(TimingFunction curve)
{
    if (!state().open.empty())
        state().open.back().options.curve = curve;
}

void Animation::setAnimationDidStop(std::function<void(const std::string& name, bool finished)> handler)
{
    if (!state().open.empty() && state().open.back().didStopSlot)
        *state().open.back().didStopSlot = std::move(handler);
}

void Animation::commitAnimations()
{
    if (state().open.empty())
        return;
    Recording rec = std::move(state().open.back());
    state().open.pop_back();
    if (!state().enabled) {
        if (rec.didStopSlot && *rec.didStopSlot)
            (*rec.didStopSlot)(rec.name, true);
        return;
    }
    rec.tracker->seal(rec.delay);
}

bool Animation::isRecording()
{
    return state().enabled && !state().open.empty();
}

void Animation::recordChange(View& view, const char* keyPath, Point from, Point to)
{
    if (!isRecording() || from == to)
        return;
    Recording& rec = state().open.back();
    auto animation = std::make_shared<KeyframeAnimation>(keyPath);
    animation->values = { from, to };
    animation->duration = rec.duration;
    animation->delay = rec.delay;
    animation->timingFunctions = { rec.options.curve };
    auto tracker = rec.tracker;
    tracker->add();
    animation->addStopHandler([tracker](bool finished) { tracker->stopped(finished); });
    view.layer().addAnimation(animation, keyPath);
}

void Animation::reset()
{
    state().enabled = true;
    state().open.clear();
}

}
