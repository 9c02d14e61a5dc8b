#pragma once

#include <functional>
#include <memory>
#include <string>

namespace pf {

// A named serial queue: jobs run one after another, in the order given, on a worker thread of
// the queue's own. Results reach the app by posting to the main run loop.
//
// Rules:
// - `async` may be called from any thread. Each queued job counts as pending work of the main
//   run loop until it has run, so tests can wait for queue work like for HTTP replies.
// - `sync` waits for the job; called from the queue's own thread it runs the job at once
//   instead of deadlocking.
// - `asyncAfter` waits on the main run loop's clock (virtual time in tests), then queues.
// - Dropping the last reference lets queued jobs finish; the thread then ends.
// - While the process ends (ProcessExit) jobs already queued still run; new ones are dropped
//   and `sync` returns without running its job.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    using Task = std::function<void()>;

    static std::shared_ptr<DispatchQueue> create(std::string name);
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    const std::string& name() const;
    void async(Task task);
    void sync(const Task& task);
    void asyncAfter(double delay, Task task);
    // Whether the calling thread is this queue's.
    bool isCurrent() const;

    // The name of the queue running on the calling thread; "main" on the main run loop's
    // thread, empty elsewhere.
    static std::string currentQueueName();
    // Runs `task` on the main run loop and waits for it; at once when already on it.
    static void performOnMainAndWait(const Task& task);

private:
    explicit DispatchQueue(std::string name);
    // False when the process is ending and the job was dropped.
    bool enqueue(Task task);
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};

}
