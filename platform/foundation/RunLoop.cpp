#include "platform/foundation/RunLoop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <limits>
#include <vector>

namespace pf {

RunLoop& RunLoop::main()
{
    static RunLoop* loop = new RunLoop(); // never destroyed: worker threads may post at exit
    return *loop;
}

RunLoop::RunLoop()
    : m_mainThread(std::this_thread::get_id())
{
}

void RunLoop::assertMainThread(const char* what)
{
    if (main().isMainThread())
        return;
    std::fprintf(stderr, "%s: main-thread-only state used from another thread\n", what);
    std::abort();
}

void RunLoop::post(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    m_cv.notify_all();
}

RunLoop::TaskId RunLoop::postDelayed(double delay, Task task, const void* target)
{
    std::lock_guard lock(m_mutex);
    TaskId id = m_nextId++;
    double due = monotonicNow() + (delay > 0 ? delay : 0);
    m_scheduled.emplace(std::make_pair(due, id), Scheduled { id, due, 0, target, std::make_shared<Task>(std::move(task)) });
    m_index.emplace(id, std::make_pair(due, id));
    m_cv.notify_all();
    return id;
}

RunLoop::TaskId RunLoop::postRepeating(double interval, Task task, const void* target)
{
    if (interval <= 0)
        interval = 0.0001; // a zero interval would spin; the platform clamps it too
    std::lock_guard lock(m_mutex);
    TaskId id = m_nextId++;
    double due = monotonicNow() + interval;
    m_scheduled.emplace(std::make_pair(due, id), Scheduled { id, due, interval, target, std::make_shared<Task>(std::move(task)) });
    m_index.emplace(id, std::make_pair(due, id));
    m_cv.notify_all();
    return id;
}

bool RunLoop::cancel(TaskId id)
{
    std::shared_ptr<Task> dropped; // dies after the lock is released (see the class comment)
    std::lock_guard lock(m_mutex);
    auto it = m_index.find(id);
    if (it == m_index.end())
        return false;
    auto entry = m_scheduled.find(it->second);
    dropped = std::move(entry->second.task);
    m_scheduled.erase(entry);
    m_index.erase(it);
    return true;
}

void RunLoop::cancelAll(const void* target)
{
    if (!target)
        return;
    std::vector<std::shared_ptr<Task>> dropped; // die after the lock is released
    std::lock_guard lock(m_mutex);
    for (auto it = m_scheduled.begin(); it != m_scheduled.end();) {
        if (it->second.target == target) {
            dropped.push_back(std::move(it->second.task));
            m_index.erase(it->second.id);
            it = m_scheduled.erase(it);
        } else {
            ++it;
        }
    }
}

bool RunLoop::isScheduled(TaskId id) const
{
    std::lock_guard lock(m_mutex);
    return m_index.count(id) != 0;
}

bool RunLoop::runOnePosted()
{
    Task task;
    {
        std::lock_guard lock(m_mutex);
        if (m_posted.empty())
            return false;
        task = std::move(m_posted.front());
        m_posted.pop_front();
    }
    if (task)
        task();
    return true;
}

bool RunLoop::runOneDue(std::pair<double, TaskId> before)
{
    std::shared_ptr<Task> task; // kept alive while it runs, even if cancelled inside
    {
        std::lock_guard lock(m_mutex);
        if (m_scheduled.empty())
            return false;
        auto it = m_scheduled.begin();
        double now = monotonicNow();
        if (it->second.due > now || !(it->first < before))
            return false;
        Scheduled item = std::move(it->second);
        m_scheduled.erase(it);
        task = item.task;
        if (item.interval > 0) {
            // Re-armed before the lock is released: the task stays cancellable by id throughout,
            // from itself or from another thread.
            double next = item.due + item.interval;
            if (next <= now) // late (a slow beat, a late clock): skip missed beats rather than firing a burst
                next = now + item.interval;
            auto key = std::make_pair(next, item.id);
            item.due = next;
            m_scheduled.emplace(key, std::move(item));
            m_index[key.second] = key;
        } else {
            m_index.erase(item.id);
        }
    }
    (*task)();
    return true;
}

int RunLoop::runPending()
{
    PF_ASSERT_MAIN_THREAD();
    int ran = 0;
    // One pass: what was posted before it, then what was due when it began. Work scheduled
    // or re-armed during the pass (a timer due again at once, a task that re-posts itself)
    // waits for the next pass, so every pass ends and posted work gets its turn each time.
    size_t budget;
    std::pair<double, TaskId> before;
    {
        std::lock_guard lock(m_mutex);
        budget = m_posted.size();
        before = std::make_pair(monotonicNow(), m_nextId);
        ++m_passes;
    }
    while (budget-- > 0 && runOnePosted())
        ++ran;
    while (runOneDue(before))
        ++ran;
    return ran;
}

std::uint64_t RunLoop::passCount() const
{
    std::lock_guard lock(m_mutex);
    return m_passes;
}

void RunLoop::runUntilIdle()
{
    for (int guard = 0; guard < 1'000'000; ++guard) {
        if (runPending() == 0) {
            std::lock_guard lock(m_mutex);
            if (m_posted.empty())
                return;
        }
    }
}

void RunLoop::advanceBy(double seconds)
{
    PF_ASSERT_MAIN_THREAD();
    runUntilIdle();
    Clock& clock = Clock::shared();
    const bool manual = clock.isManual();
    const double target = monotonicNow() + std::max(0.0, seconds);
    for (;;) {
        double due;
        {
            std::lock_guard lock(m_mutex);
            if (m_scheduled.empty() || m_scheduled.begin()->second.due > target)
                break;
            due = m_scheduled.begin()->second.due;
        }
        if (manual && due > clock.monotonicNow())
            clock.advance(due - clock.monotonicNow());
        runOneDue(std::make_pair(due, std::numeric_limits<TaskId>::max()));
        runUntilIdle();
    }
    if (manual && target > clock.monotonicNow())
        clock.advance(target - clock.monotonicNow());
    runUntilIdle();
}

void RunLoop::advanceTo(double date)
{
    advanceBy(date - now());
}

bool RunLoop::waitForPost(double timeout)
{
    {
        std::unique_lock lock(m_mutex);
        bool got = m_cv.wait_for(lock, std::chrono::duration<double>(timeout), [&] { return !m_posted.empty() || m_quit; });
        if (!got)
            return false;
    }
    // What is ready now, pass by pass, but never beyond the caller's time.
    using namespace std::chrono;
    auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(timeout));
    while (runPending() > 0 && steady_clock::now() < deadline) {
    }
    return true;
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeout, bool advanceTime)
{
    using namespace std::chrono;
    auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(timeout));
    // One pass at a time: a page whose timers are always due must not keep `done` from being
    // asked, nor the deadline from being seen.
    for (;;) {
        runPending();
        if (done())
            return true;
        if (steady_clock::now() >= deadline)
            return false;
        if (advanceTime && hasManualClock() && pendingWork() == 0) {
            double next = nextDueIn();
            if (next >= 0) {
                advanceBy(next);
                continue;
            }
        }
        std::unique_lock lock(m_mutex);
        if (!m_posted.empty() || (!m_scheduled.empty() && m_scheduled.begin()->second.due <= monotonicNow()))
            continue; // more is ready: the next pass runs it
        double wait = hasManualClock() ? 0.05 : 0.01;
        if (!hasManualClock() && !m_scheduled.empty())
            wait = std::max(0.0, std::min(wait, m_scheduled.begin()->second.due - monotonicNow()));
        // Work that ends without posting (a queue job whose answer already ran) also wakes
        // the wait, so a caller waiting for idle hears of it at once, not at the next tick.
        const int pendingBefore = m_pendingWork;
        m_cv.wait_for(lock, duration<double>(wait), [&] { return !m_posted.empty() || m_pendingWork != pendingBefore; });
    }
}

bool RunLoop::waitUntilIdle(double timeout, bool* cutShort, const std::function<bool()>& stop)
{
    // Idle: nothing in flight, and what was ready has run. The first pass runs all that was
    // ready when the wait began; what that work, or a reply that came meanwhile, put off to the
    // next turn (a follow-up posted or due at once) runs in the passes after it, and a chain of
    // such follow-ups (a page's steps, each starting the next) is waited out however many
    // passes it takes. Work that keeps itself ready for ever (an interval busier than its beat,
    // a job that posts itself again) would hold the wait to its limit, so once nothing is in
    // flight it gets a spell of real time and no more; every reply that lands starts the spell
    // again. Real time, not a count of passes: a count cuts short any chain longer than it, and
    // a chain of a few dozen steps ends well within a second. Nor the loop's clock: the manual
    // one stands still while the loop waits.
    using Steady = std::chrono::steady_clock;
    Steady::time_point spellEnds = Steady::now() + kFollowUpTime;
    bool leftReady = false;
    bool stopped = false;
    std::uint64_t endedSeen;
    {
        std::lock_guard lock(m_mutex);
        endedSeen = m_pendingEnded;
    }
    const bool ended = runUntil([&] {
        if (stop && stop()) {
            stopped = true;
            return true;
        }
        std::lock_guard lock(m_mutex);
        if (m_pendingEnded != endedSeen) {
            endedSeen = m_pendingEnded;
            spellEnds = Steady::now() + kFollowUpTime;
        }
        if (m_pendingWork > 0)
            return false;
        // Nothing ready is idle at once, even right after a reply: waiting for a post that
        // will not come would only stall.
        const bool ready = !m_posted.empty() || (!m_scheduled.empty() && m_scheduled.begin()->second.due <= monotonicNow());
        if (!ready)
            return true;
        leftReady = Steady::now() >= spellEnds;
        return leftReady;
    }, timeout);
    const bool idle = ended && !stopped;
    if (cutShort)
        *cutShort = idle && leftReady;
    return idle;
}

void RunLoop::run()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = false;
    }
    for (;;) {
        runPending();
        std::unique_lock lock(m_mutex);
        if (m_quit)
            return;
        if (!m_posted.empty())
            continue;
        if (hasManualClock()) {
            if (!m_scheduled.empty() && m_pendingWork == 0) {
                double wait = m_scheduled.begin()->second.due - monotonicNow();
                lock.unlock();
                advanceBy(wait);
                continue;
            }
            m_cv.wait_for(lock, std::chrono::milliseconds(50));
        } else if (!m_scheduled.empty()) {
            double wait = m_scheduled.begin()->second.due - monotonicNow();
            if (wait > 0)
                m_cv.wait_for(lock, std::chrono::duration<double>(std::min(wait, 1.0)));
        } else {
            m_cv.wait_for(lock, std::chrono::seconds(1));
        }
    }
}

void RunLoop::quit()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_cv.notify_all();
}

void RunLoop::beginPendingWork()
{
    std::lock_guard lock(m_mutex);
    ++m_pendingWork;
}

void RunLoop::endPendingWork()
{
    {
        std::lock_guard lock(m_mutex);
        --m_pendingWork;
        ++m_pendingEnded;
    }
    m_cv.notify_all();
}

int RunLoop::pendingWork() const
{
    std::lock_guard lock(m_mutex);
    return m_pendingWork;
}

double RunLoop::nextDueIn() const
{
    std::lock_guard lock(m_mutex);
    if (m_scheduled.empty())
        return -1;
    double d = m_scheduled.begin()->second.due - monotonicNow();
    return d < 0 ? 0 : d;
}

size_t RunLoop::scheduledCount() const
{
    std::lock_guard lock(m_mutex);
    return m_scheduled.size();
}

void RunLoop::reset()
{
    // The dropped tasks die after the lock is released: their captures may end pending work or
    // post in their destructors, which takes the lock again.
    std::deque<Task> posted;
    std::map<std::pair<double, TaskId>, Scheduled> scheduled;
    std::lock_guard lock(m_mutex);
    posted.swap(m_posted);
    scheduled.swap(m_scheduled);
    m_index.clear();
    m_quit = false;
}

}
