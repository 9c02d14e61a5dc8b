#include "platform/foundation/ProcessExit.h"

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace pf {

namespace {

// Never destroyed: the workers use it up to the last moment of the process.
struct State {
    std::mutex mutex;
    std::condition_variable idle;
    bool ending { false };
    int work { 0 };
    std::vector<std::function<void()>> wakers;
};

State& state()
{
    static State* s = new State();
    return *s;
}

// A child forked without a new program keeps none of its parent's threads (and may find the
// state's lock held by one of them): its exit has nothing to wait for.
std::atomic<pid_t> g_installedIn { 0 };

void endProcess(int status, void*)
{
    if (::getpid() != g_installedIn.load())
        return;
    State& s = state();
    std::vector<std::function<void()>> wakers;
    {
        std::lock_guard lock(s.mutex);
        if (s.ending)
            return;
        s.ending = true;
        wakers = s.wakers;
    }
    for (auto& wake : wakers)
        wake();
    std::unique_lock lock(s.mutex);
    bool finished = s.idle.wait_for(lock, std::chrono::duration<double>(ProcessExit::kGraceSeconds),
        [&] { return s.work == 0; });
    if (finished)
        return;
    lock.unlock();
    std::fflush(nullptr);
    ::_exit(status);
}

}

void ProcessExit::install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // OpenSSL registers its clean-up when first initialised: before ours, so it runs after.
        OPENSSL_init_ssl(0, nullptr);
        g_installedIn = ::getpid();
        ::on_exit(endProcess, nullptr);
    });
}

bool ProcessExit::isEnding()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.ending;
}

bool ProcessExit::beginWork()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.ending)
        return false;
    ++s.work;
    return true;
}

void ProcessExit::endWork()
{
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        --s.work;
    }
    s.idle.notify_all();
}

void ProcessExit::addWaker(std::function<void()> wake)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.wakers.push_back(std::move(wake));
}

}
