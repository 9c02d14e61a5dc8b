// Started by the crash tests: sets up the statistics client with crash logging on a given
// sandbox, then crashes the way it is asked to.
//   stats_crash_child HOME runtime_error|appkey|long_texts|segv|abort|overflow_on_queue|exit
//                          |segv_to_earlier_handler|abort_to_earlier_handler|segv_earlier_ignored
//                          |take_in
// The "earlier" modes install a handler of their own before crash logging is switched on;
// "take_in" makes the log manager (which takes in a log an earlier version kept in the
// defaults) and exits.

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Exception.h"
#include "sdk/stats/CrashReporter.h"
#include "sdk/stats/TalmerinMobStat.h"
#include "sdk/stats/TalmerinMobStatLogManager.h"
#include "tests/support/ChildHome.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

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

// What the earlier handlers exit with: the report was there when they were called, or not; the
// signal's information did not name the faulting address.
constexpr int kCalledAfterReport = 40;
constexpr int kCalledBeforeReport = 41;
constexpr int kWrongInformation = 42;

char g_reportPath[4096];
void* volatile g_readOnlyPage = nullptr;

int exitForReport()
{
    return ::access(g_reportPath, F_OK) == 0 ? kCalledAfterReport : kCalledBeforeReport;
}

void earlierHandlerWithInformation(int, siginfo_t* info, void*)
{
    ::_exit(info && info->si_addr == g_readOnlyPage ? exitForReport() : kWrongInformation);
}

void earlierPlainHandler(int)
{
    ::_exit(exitForReport());
}

void installEarlierHandler(int signal, const std::string& mode)
{
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (mode == "segv_earlier_ignored") {
        action.sa_handler = SIG_IGN;
    } else if (mode == "segv_to_earlier_handler") {
        action.sa_sigaction = earlierHandlerWithInformation;
        action.sa_flags = SA_SIGINFO;
    } else {
        action.sa_handler = earlierPlainHandler;
    }
    ::sigaction(signal, &action, nullptr);
}

// A write to a read-only page: a real fault, which no sanitizer stops first.
void writeToReadOnlyPage()
{
    g_readOnlyPage = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(g_readOnlyPage) = 1;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    if (!testsupport::enterHome(argv[1]))
        return 2;
    std::string mode = argv[2];
    std::string reportPath = CrashReporter::reportPath();
    if (reportPath.size() >= sizeof g_reportPath)
        return 2;
    reportPath.copy(g_reportPath, reportPath.size());
    if (mode == "segv_to_earlier_handler" || mode == "segv_earlier_ignored")
        installEarlierHandler(SIGSEGV, mode);
    else if (mode == "abort_to_earlier_handler")
        installEarlierHandler(SIGABRT, mode);
    auto stat = TalmerinMobStat::defaultStat();
    stat->setEnableExceptionLog(true);
    if (mode == "runtime_error") {
        throwDeep1(1);
    } else if (mode == "appkey") {
        stat->pageviewStartWithName("Home");
    } else if (mode == "long_texts") {
        // More than the report has room for: 600 bytes of name, 4400 of reason.
        std::string name, reason;
        for (int i = 0; i < 200; ++i)
            name += "礼";
        for (int i = 0; i < 1100; ++i)
            reason += "😀";
        throw pf::Exception(name, reason);
    } else if (mode == "segv" || mode == "segv_to_earlier_handler" || mode == "segv_earlier_ignored") {
        writeToReadOnlyPage();
    } else if (mode == "overflow_on_queue") {
        // A stack overflow on a worker thread: its handler needs that thread's own signal stack.
        pf::DispatchQueue::create("overflowing")->sync([] { recurseForEver(0); });
    } else if (mode == "abort" || mode == "abort_to_earlier_handler") {
        std::abort();
    } else if (mode == "exit") {
        return 0;
    } else if (mode == "take_in") {
        TalmerinMobStatLogManager::sharedManager();
        return 0;
    }
    return 3;
}
