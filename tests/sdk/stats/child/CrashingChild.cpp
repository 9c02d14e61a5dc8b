// Started by the crash tests: sets up the statistics client with crash logging on a given
// sandbox, then crashes the way it is asked to.
//   stats_crash_child HOME runtime_error|appkey|segv|abort|exit

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
    } else if (mode == "abort") {
        std::abort();
    } else if (mode == "exit") {
        return 0;
    }
    return 3;
}
