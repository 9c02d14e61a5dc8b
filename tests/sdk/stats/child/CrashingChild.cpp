// Started by the crash tests: sets up the statistics client with crash logging on a given
// sandbox, then crashes the way it is asked to.
//   stats_crash_child HOME runtime_error|appkey|segv|abort|overflow_on_queue|exit

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Sandbox.h"
#include "sdk/stats/TalmerinMobStat.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

__attribute__((noinline)) void throwDeep3(int depth)
{
    if (depth > 0)
        throw std::runtime_error("deep trouble at depth " + std::to_string(depth));
}

__attribute__((noinline)) void throwDeep2(int depth)
{
    throwDeep3(depth + 1);
    std::puts("not reached");
}

__attribute__((noinline)) void throwDeep1(int depth)
{
    throwDeep2(depth + 1);
    std::puts("not reached");
}

volatile bool g_keepRecursing = true;

__attribute__((noinline)) int recurseForEver(int depth)
{
    volatile char frame[512];
    frame[depth % sizeof frame] = char(depth);
    return g_keepRecursing ? recurseForEver(depth + 1) + frame[0] : 0;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    pf::Sandbox::setCurrent(pf::Sandbox::atPath(argv[1]));
    auto stat = TalmerinMobStat::defaultStat();
    stat->setEnableExceptionLog(true);
    std::string mode = argv[2];
    if (mode == "runtime_error") {
        throwDeep1(1);
    } else if (mode == "appkey") {
        stat->pageviewStartWithName("Home");
    } else if (mode == "segv") {
        // A write to a read-only page: a real fault, which no sanitizer stops first.
        void* page = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        *static_cast<volatile int*>(page) = 1;
    } else if (mode == "overflow_on_queue") {
        // A stack overflow on a worker thread: its handler needs that thread's own signal stack.
        pf::DispatchQueue::create("overflowing")->sync([] { recurseForEver(0); });
    } else if (mode == "abort") {
        std::abort();
    } else if (mode == "exit") {
        return 0;
    }
    return 3;
}
