#include "platform/ui/KeyframeAnimation.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Layer.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {

    // Cubic Bézier timing curves with the usual control points, solved for x by bisection.
    double bezier(double p1, double p2, double t)
    {
        double u = 1 - t;
        return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
    }

    double applyTiming(TimingFunction f, double x)
    {
        double x1, y1, x2, y2;
        switch (f) {
        case TimingFunction::Linear: return x;
        case TimingFunction::EaseIn: x1 = 0.42, y1 = 0, x2 = 1, y2 = 1; break;
        case TimingFunction::EaseOut: x1 = 0, y1 = 0, x2 = 0.58, y2 = 1; break;
        default: x1 = 0.42, y1 = 0, x2 = 0.58, y2 = 1; break;
        }
        double lo = 0, hi = 1, t = x;
        for (int i = 0; i < 40; ++i) {
            t = (lo + hi) / 2;
            if (bezier(x1, x2, t) < x)
                lo = t;
            else
                hi = t;
        }
        return bezier(y1, y2, t);
    }

}

// Stop handlers live in the timer task (not in the animation) so that a completion that holds
// the animated view cannot keep it alive through the layer.
struct StopHandlerList {
    std::vector<KeyframeAnimation::StopHandler> handlers;
    bool called { false };
    void run(bool finished)
    {
        if (called)
            return;
        called = true;
        auto list = std::move(handlers);
        handlers.clear();
        for (auto& h : list)
            if (h)
                h(finished);
    }
};

KeyframeAnimation::~KeyframeAnimation() = default;

Point KeyframeAnimation::valueAt(double time) const
{
    if (values.empty())
        return {};
    if (values.size() == 1)
        return values.front();
    double elapsed = time - m_beginTime - delay;
    if (elapsed <= 0)
        return values.front();
    if (duration <= 0 || elapsed >= duration)
        return values.back();
    double progress = elapsed / duration;

    size_t n = values.size();
    std::vector<double> times = keyTimes;
    if (times.size() != n) {
        times.clear();
        for (size_t i = 0; i < n; ++i)
            times.push_back(static_cast<double>(i) / static_cast<double>(n - 1));
    }
    size_t seg = 0;
    while (seg + 2 < n && progress >= times[seg + 1])
        ++seg;
    double t0 = times[seg], t1 = times[seg + 1];
    double local = t1 > t0 ? std::clamp((progress - t0) / (t1 - t0), 0.0, 1.0) : 1.0;
    TimingFunction f = seg < timingFunctions.size() ? timingFunctions[seg] : TimingFunction::Linear;
    double k = applyTiming(f, local);
    const Point& a = values[seg];
    const Point& b = values[seg + 1];
    return { a.x + (b.x - a.x) * k, a.y + (b.y - a.y) * k };
}

void KeyframeAnimation::start(Layer* layer, double now)
{
    m_layer = layer;
    m_beginTime = now;
    m_running = true;
    auto list = std::make_shared<StopHandlerList>();
    list->handlers = std::move(m_stopHandlers);
    m_stopHandlers.clear();
    m_handlers = list;
    std::weak_ptr<KeyframeAnimation> weak = weak_from_this();
    double total = delay + (duration > 0 ? duration : 0);
    m_timer = RunLoop::main().postDelayed(total, [weak, list] {
        if (auto self = weak.lock())
            self->finish();
        list->run(false); // no-op once the animation reported; false when its layer died
    });
}

void KeyframeAnimation::finish()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_running = false;
    m_finished = true;
    m_timer = 0;
    auto keep = shared_from_this();
    if (removedOnCompletion && m_layer)
        m_layer->animationDidFinish(this);
    if (auto list = m_handlers.lock())
        list->run(true);
}

void KeyframeAnimation::interrupt()
{
    m_layer = nullptr;
    if (m_stopped)
        return;
    m_stopped = true;
    m_running = false;
    // Take the handlers before cancelling the timer that holds them.
    auto list = m_handlers.lock();
    if (m_timer)
        RunLoop::main().cancel(m_timer);
    m_timer = 0;
    if (list)
        RunLoop::main().post([list] { list->run(false); });
}

}
