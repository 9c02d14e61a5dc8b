#pragma once

#include <functional>
#include <memory>

namespace pf {

// Counts the animations of one block animation or one transaction and runs the completion once
// the group is sealed and every animation has stopped. Completions run from the run loop only
// (a timer or a posted task), never from inside a setter, a removal or a destructor.
class AnimationTracker : public std::enable_shared_from_this<AnimationTracker> {
public:
    explicit AnimationTracker(std::function<void(bool finished)> completion) : m_completion(std::move(completion)) { }

    // One more animation belongs to the group.
    void add() { ++m_pending; }
    // An animation of the group stopped (finished or removed early).
    void stopped(bool finished);
    // No more animations will join; when none joined or all have stopped, the completion is
    // posted to the run loop (after `delay` seconds).
    void seal(double delay = 0);

private:
    void run();

    std::function<void(bool)> m_completion;
    int m_pending { 0 };
    bool m_allFinished { true };
    bool m_sealed { false };
    bool m_ran { false };
};

}
