#pragma once

#include "platform/foundation/RunLoop.h"

#include <memory>
#include <utility>

namespace pf {

// A value that may travel through other threads inside a job but is used and destroyed only
// on the main thread: typically an answer callback whose captures (views, controllers,
// managers) belong to the main thread.
//
// Rules:
// - Copies share the one value. A copy dropped on another thread hands its reference to the
//   main run loop, so the last reference always goes on the main thread.
// - `get` is for the main thread.
template<typename T>
class MainThreadBound {
public:
    explicit MainThreadBound(T value)
        : m_value(std::make_shared<T>(std::move(value)))
    {
    }
    MainThreadBound(const MainThreadBound&) = default;
    MainThreadBound(MainThreadBound&&) noexcept = default;
    MainThreadBound& operator=(const MainThreadBound&) = delete;
    MainThreadBound& operator=(MainThreadBound&&) = delete;

    ~MainThreadBound()
    {
        auto& loop = RunLoop::main();
        if (m_value && !loop.isMainThread())
            loop.post([value = std::move(m_value)] { });
    }

    T& get() const { return *m_value; }

private:
    std::shared_ptr<T> m_value;
};

}
