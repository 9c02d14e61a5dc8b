#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/ui/KeyframeAnimation.h"

#include <functional>
#include <string>

namespace pf {

class View;

struct AnimationOptions {
    TimingFunction curve { TimingFunction::EaseInEaseOut };
    bool allowUserInteraction { false };
};

// Block animations of views on the platform clock.
//
// Rules:
// - Inside `animate`'s block, changes of a view's frame, centre or alpha take effect at once
//   (the model) and are recorded as animations of the view's layer, so the presented values move
//   over the duration.
// - The completion runs from the run loop once every recorded animation has ended: `finished` is
//   false when one was removed or replaced first. With nothing recorded it runs on the next turn
//   of the loop (after the delay, if any).
// - With animations switched off (`setAnimationsEnabled(false)`), nothing is recorded and the
//   completion runs at once, inside `animate`, with `finished` true.
// - The named begin/commit form behaves the same way; its stop handler gets the name.
class Animation {
public:
    using Completion = std::function<void(bool finished)>;

    static void animate(double duration, const std::function<void()>& animations, Completion completion = {});
    static void animate(double duration, double delay, AnimationOptions options,
        const std::function<void()>& animations, Completion completion = {});

    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    static void performWithoutAnimation(const std::function<void()>& changes);

    // Named form: begin, set the parameters, change views, commit.
    static void beginAnimations(std::string name);
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(TimingFunction curve);
    static void setAnimationDidStop(std::function<void(const std::string& name, bool finished)> handler);
    static void commitAnimations();

    // For View's setters: records a change when an animation block is open.
    static void recordChange(View& view, const char* keyPath, Point from, Point to);
    static bool isRecording();

    // Test set-up: animations on, no open block.
    static void reset();
};

}
