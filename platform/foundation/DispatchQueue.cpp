#include "platform/foundation/DispatchQueue.h"

#include "platform/foundation/ProcessExit.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/SignalStack.h"
#include "platform/foundation/TerminationSignal.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace pf {

namespace {
thread_local const std::string* t_queueName = nullptr;
}

struct DispatchQueue::Impl {
    std::string name;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> jobs;
    bool stopping { false };
    std::thread::id threadId;

    static void run(std::shared_ptr<Impl> self)
    {
        t_queueName = &self->name;
        SignalStack signalStack; // for the thread's life: a crash on it can still be reported
        TerminationSignal::keepOffThisThread();
        for (;;) {
            Task job;
            {
                std::unique_lock lock(self->mutex);
                self->cv.wait(lock, [&] { return !self->jobs.empty() || self->stopping; });
                if (self->jobs.empty())
                    return;
                job = std::move(self->jobs.front());
                self->jobs.pop_front();
            }
            if (job)
                job();
            job = nullptr; // captures die before the job stops counting as pending
            RunLoop::main().endPendingWork();
            ProcessExit::endWork();
        }
    }
};

std::shared_ptr<DispatchQueue> DispatchQueue::create(std::string name)
{
    return std::shared_ptr<DispatchQueue>(new DispatchQueue(std::move(name)));
}

DispatchQueue::DispatchQueue(std::string name)
    : m_impl(std::make_shared<Impl>())
{
    ProcessExit::install();
    m_impl->name = std::move(name);
    std::thread thread(&Impl::run, m_impl);
    m_impl->threadId = thread.get_id();
    thread.detach(); // it ends by itself once the queue is gone and its jobs have run
}

DispatchQueue::~DispatchQueue()
{
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->stopping = true;
    }
    m_impl->cv.notify_all();
}

const std::string& DispatchQueue::name() const
{
    return m_impl->name;
}

void DispatchQueue::async(Task task)
{
    enqueue(std::move(task));
}

bool DispatchQueue::enqueue(Task task)
{
    // While the process ends nothing new starts: the job is dropped here, on the caller's thread.
    if (!ProcessExit::beginWork())
        return false;
    RunLoop::main().beginPendingWork();
    {
        std::lock_guard lock(m_impl->mutex);
        m_impl->jobs.push_back(std::move(task));
    }
    m_impl->cv.notify_one();
    return true;
}

void DispatchQueue::sync(const Task& task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    bool queued = enqueue([&task, &done] {
        task();
        done.set_value();
    });
    if (queued)
        finished.wait();
}

void DispatchQueue::asyncAfter(double delay, Task task)
{
    RunLoop::main().postDelayed(delay, [self = shared_from_this(), task = std::move(task)]() mutable { self->async(std::move(task)); });
}

bool DispatchQueue::isCurrent() const
{
    return std::this_thread::get_id() == m_impl->threadId;
}

std::string DispatchQueue::currentQueueName()
{
    if (t_queueName)
        return *t_queueName;
    if (RunLoop::main().isMainThread())
        return "main";
    return {};
}

void DispatchQueue::performOnMainAndWait(const Task& task)
{
    auto& loop = RunLoop::main();
    if (loop.isMainThread()) {
        task();
        return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    loop.post([&task, &done] {
        task();
        done.set_value();
    });
    finished.wait();
}

}
