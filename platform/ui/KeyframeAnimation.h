#pragma once

#include "platform/graphics/Geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pf {

class Layer;

enum class TimingFunction { Linear, EaseIn, EaseOut, EaseInEaseOut };

// An animation of one property of a layer over time on the platform clock: a list of values,
// optional key times (fractions 0..1, one per value; evenly spaced when empty) and a timing
// function per segment (linear when missing). The properties known are "position" (a point),
// "opacity" (x of the point) and "bounds.size" (width, height as x, y).
//
// Block animations of views are made of these too (two values each). An animation runs from
// the moment it is added to a layer; when its time is over it is removed from the layer unless
// `removedOnCompletion` is off, and with `fillForwards` its last value stays the presented one.
class KeyframeAnimation : public std::enable_shared_from_this<KeyframeAnimation> {
public:
    explicit KeyframeAnimation(std::string keyPath) : m_keyPath(std::move(keyPath)) { }
    ~KeyframeAnimation();

    const std::string& keyPath() const { return m_keyPath; }

    std::vector<Point> values;
    std::vector<double> keyTimes;
    std::vector<TimingFunction> timingFunctions;
    double duration { 0.25 };
    // Seconds between being added and starting to move (the presented value is the first one
    // meanwhile).
    double delay { 0 };
    bool fillForwards { false };
    bool removedOnCompletion { true };

    // The value shown at `time` (platform clock). Before the start: the first value; after the
    // end: the last.
    Point valueAt(double time) const;
    double beginTime() const { return m_beginTime; }
    double endTime() const { return m_beginTime + delay + (duration > 0 ? duration : 0); }
    bool isRunning() const { return m_running; }
    bool hasFinished() const { return m_finished; }

    // --- for Layer, Transaction and block animations ---
    using StopHandler = std::function<void(bool finished)>;
    void addStopHandler(StopHandler handler) { m_stopHandlers.push_back(std::move(handler)); }
    void start(Layer* layer, double now);
    // Stops early (removed from its layer): stop handlers get `finished` false, from the loop.
    void interrupt();
    // The layer is going away: forget it without touching the run loop.
    void detachFromLayer() { m_layer = nullptr; }

private:
    void finish();

    std::string m_keyPath;
    double m_beginTime { 0 };
    bool m_running { false };
    bool m_finished { false };
    bool m_stopped { false };
    std::uint64_t m_timer { 0 };
    Layer* m_layer { nullptr };
    std::vector<StopHandler> m_stopHandlers;
    std::weak_ptr<struct StopHandlerList> m_handlers;
};

}
