#include "StatsTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/KillAtStep.h"
#include "tests/support/UnreadableRange.h"

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Sandbox.h"
#include "platform/testing/ThreadSanitizer.h"
#include "sdk/stats/CrashReport.h"
#include "sdk/stats/CrashReporter.h"
#include "sdk/stats/ElfSymbols.h"
#include "sdk/stats/PLCrashReportTextFormatter.h"
#include "sdk/stats/TalmerinMobStatExceptionAnalyzer.h"
#include "sdk/stats/TalmerinMobStatLogStore.h"

#include <SQLiteCpp/Database.h>

#include <dlfcn.h>
#include <elf.h>
#include <unistd.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

using pf::Value;

namespace {

const std::string kPreambleStart = "Hi \n使用app时发生了崩溃, 详细错误信息如下:\n*** Terminating app due to uncaught exception '";

// Runs the crashing child on `home` and gives its wait status.
int runChild(const std::string& home, const std::string& mode)
{
    // The sanitizer gives every thread a signal stack of its own; without it the child is the app
    // as it ships, where only the capture's own stacks exist.
    return testsupport::runChildProcess({ STATS_CRASH_CHILD, home, mode },
        { "ASAN_OPTIONS=detect_leaks=0:allow_user_segv_handler=1:handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:use_sigaltstack=0" })
        .status;
}

// A new launch of the app on the same sandbox with crash logging on.
void relaunchWithCrashLogging(StatsWorld& world)
{
    pf::UserDefaults::resetStandard();
    world.relaunch();
    world.stat()->setEnableExceptionLog(true);
}

CrashReport sampleReport()
{
    CrashReport report;
    report.operatingSystem = "Linux";
    report.osVersion = "6.1";
    report.architecture = "x86_64";
    report.images.push_back({ "/opt/app/bin/quorvane", 0x400000, 0x10000, 0, "", EM_X86_64 });
    report.hasExceptionInfo = true;
    report.exceptionName = "Invalid AppKey";
    report.exceptionReason = "Invalid AppKey";
    report.stackFrames = { { 0x401234, CrashReport::Symbol { "checkAppKey()", 0x401200 } }, { 0x401300, std::nullopt }, { 0x9999, std::nullopt } };
    return report;
}

__attribute__((noinline)) int namedFrameTarget(int x)
{
    return x * 3 + 1;
}

std::string repeated(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

void writeFile(const std::string& path, const pf::Bytes& data)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data.data()), data.size());
}

}

TEST(CrashCapture, ACrashedChildLeavesOneEntryForTheNextStart)
{
    struct Case {
        const char* mode;
        int signal;
        std::string name;
        std::string reason;
        std::vector<std::string> frames; // in this order among the frame lines
    };
    const Case cases[] = {
        { "runtime_error", SIGABRT, "std::runtime_error", "deep trouble at depth 3", { "throwDeep3(int)", "throwDeep2(int)", "throwDeep1(int)", "main" } },
        { "appkey", SIGABRT, "Invalid AppKey", "Invalid AppKey", { "TalmerinMobStatController::checkAppKey() const", "TalmerinMobStatController::startPageView", "main" } },
        // Cut to the report's 511 and 4095 bytes where a character ends.
        { "long_texts", SIGABRT, repeated("礼", 170), repeated("😀", 1023), { "main" } },
        { "segv", SIGSEGV, "", "", {} },
        { "abort", SIGABRT, "", "", {} },
        { "overflow_on_queue", SIGSEGV, "", "", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        StatsWorld world;
        int status = runChild(world.env.sandbox().homePath(), c.mode);
        if (pf::ThreadSanitizer::isActive() && c.signal == SIGSEGV) {
            // Capture passes the fault on to the handler installed before it, here the
            // sanitizer's own, which reports and exits instead of dying by the signal.
            EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
            EXPECT_EQ(WTERMSIG(status), c.signal);
        }
        ASSERT_TRUE(CrashReporter::sharedReporter().hasPendingCrashReport());

        pf::Log::startCapture();
        relaunchWithCrashLogging(world);
        auto lines = pf::Log::captured();
        pf::Log::stopCapture();
        EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
        EXPECT_EQ(pf::UserDefaults::standard()->integerForKey(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey), 0);

        Value ex = world.log()["ex"];
        ASSERT_EQ(ex.size(), 1u);
        EXPECT_EQ(ex[0]["y"], Value(c.name));
        EXPECT_EQ(ex[0]["t"].longValue(), TalmerinMobStat::nowMs());
        std::string text = ex[0]["c"].stringValue();
        if (c.frames.empty()) {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_EQ(text.rfind(kPreambleStart + c.name + "', reason: '" + c.reason + "'\n\n详细错误信息:\n ( \n", 0), 0u) << text;
        ASSERT_GE(text.size(), 4u);
        EXPECT_EQ(text.substr(text.size() - 4), ") \n\n");
        EXPECT_EQ(std::count(lines.begin(), lines.end(), PLCrashReportTextFormatter::kUnknownPrefixRules), 1);

        // Every frame line: index in 4 columns, image in 35, 16 hex digits, then the symbol.
        std::istringstream in(text.substr(text.find(" ( \n") + 4));
        std::string line;
        std::regex frameLine(R"(^(\d+) *([^ ].{34}) 0x([0-9a-f]{16}) (.+)$)");
        size_t index = 0, expected = 0;
        while (std::getline(in, line) && line != ") ") {
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, frameLine)) << line;
            EXPECT_EQ(line.substr(0, 4), (std::to_string(index) + "    ").substr(0, 4));
            EXPECT_EQ(std::stoul(m[1]), index++);
            if (expected < c.frames.size() && m[4].str().find(c.frames[expected]) != std::string::npos) {
                EXPECT_NE(line.find("stats_crash_child"), std::string::npos) << line;
                EXPECT_NE(m[4].str().find(" + "), std::string::npos) << line;
                ++expected;
            }
        }
        EXPECT_EQ(expected, c.frames.size()) << text;
    }
}

TEST(CrashCapture, TheSignalGoesOnToTheHandlerThatWasThereBeforeCapture)
{
    // The child's earlier handlers exit with 40 when the report was written before they were
    // called, 41 when it was not, 42 when the fault's information did not reach them.
    struct Case {
        const char* mode;
        bool exits;
        int codeOrSignal;
    };
    const Case cases[] = {
        { "segv_to_earlier_handler", true, 40 }, // with the signal's information
        { "abort_to_earlier_handler", true, 40 }, // a plain handler
        { "segv_earlier_ignored", false, SIGSEGV }, // a fault cannot be ignored: the process dies of it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        StatsWorld world;
        int status = runChild(world.env.sandbox().homePath(), c.mode);
        if (c.exits) {
            ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
            EXPECT_EQ(WEXITSTATUS(status), c.codeOrSignal);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
            EXPECT_EQ(WTERMSIG(status), c.codeOrSignal);
        }
        EXPECT_TRUE(CrashReporter::sharedReporter().hasPendingCrashReport());
    }

#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's handler, there from the start, still prints its report after capture's.
    StatsWorld world;
    auto child = testsupport::runChildProcess({ STATS_CRASH_CHILD, world.env.sandbox().homePath(), "segv" }, { "ASAN_OPTIONS=detect_leaks=0" });
    EXPECT_NE(child.errorOutput.find("ERROR: AddressSanitizer: SEGV"), std::string::npos) << child.errorOutput;
    EXPECT_TRUE(CrashReporter::sharedReporter().hasPendingCrashReport());
#endif
}

TEST(CrashCapture, SwitchedOffCaptureInstallsNothing)
{
    StatsWorld world;
    pf::UserDefaults::standard()->setBool(TalmerinMobStatExceptionAnalyzer::kActivatedKey, false);
    pf::UserDefaults::standard()->synchronize();
    int status = runChild(world.env.sandbox().homePath(), "segv");
    if (pf::ThreadSanitizer::isActive()) {
        // The sanitizer's own handler takes the signal in the child, reports and exits.
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    } else {
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    }
    EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());

    // A clean run with capture on leaves nothing either, and the flag is stored as YES.
    pf::UserDefaults::standard()->removeObjectForKey(TalmerinMobStatExceptionAnalyzer::kActivatedKey);
    status = runChild(world.env.sandbox().homePath(), "exit");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
    pf::UserDefaults::resetStandard();
    EXPECT_EQ(pf::UserDefaults::standard()->objectForKey(TalmerinMobStatExceptionAnalyzer::kActivatedKey), Value(true));
}

TEST(CrashCapture, DamagedReportsAreDroppedAtOnceAndAnEarlierFlagIsOneAttempt)
{
    StatsWorld world;
    pf::Bytes valid = CrashReport::framed(sampleReport().packed());
    ASSERT_TRUE(CrashReport::parse(valid));
    std::string path = CrashReporter::reportPath();

    pf::Bytes flipped = valid;
    flipped[valid.size() / 2] ^= 0x40;
    pf::Bytes lengthLies = valid;
    lengthLies[8] ^= 0x01;
    const std::pair<const char*, pf::Bytes> damaged[] = {
        { "cut short", pf::Bytes(valid.begin(), valid.end() - 5) },
        { "a flipped byte", flipped },
        { "a wrong length", lengthLies },
        { "only a header", pf::Bytes(valid.begin(), valid.begin() + 10) },
        { "not a report", pf::Bytes(100, 0xAB) },
    };
    for (const auto& [what, bytes] : damaged) {
        writeFile(path, bytes);
        pf::Log::startCapture();
        relaunchWithCrashLogging(world);
        EXPECT_TRUE(pf::Log::contains("Could not parse crash info in talmerin SDK")) << what;
        pf::Log::stopCapture();
        EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport()) << what;
        EXPECT_EQ(pf::UserDefaults::standard()->integerForKey(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey), 0) << what;
        EXPECT_EQ(world.log()["ex"].size(), 0u) << what;
        // Kept aside for a person, never deleted.
        const auto aside = pf::FileManager::asidePaths(path);
        ASSERT_FALSE(aside.empty()) << what;
        EXPECT_EQ(pf::FileManager::read(aside.back()), bytes) << what;
    }

    // A later valid report is read.
    writeFile(path, valid);
    relaunchWithCrashLogging(world);
    ASSERT_EQ(world.log()["ex"].size(), 1u);
    EXPECT_EQ(world.log()["ex"][0]["y"], Value("Invalid AppKey"));

    // The flag an earlier version left when a run died handling a report is one attempt: the
    // report is read again.
    CrashReport another = sampleReport();
    another.exceptionName = "Another";
    pf::UserDefaults::standard()->setInteger(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey, 1);
    writeFile(path, CrashReport::framed(another.packed()));
    relaunchWithCrashLogging(world);
    ASSERT_EQ(world.log()["ex"].size(), 2u);
    EXPECT_EQ(world.log()["ex"][1]["y"], Value("Another"));
    EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
    EXPECT_EQ(pf::UserDefaults::standard()->integerForKey(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey), 0);
}

// A report whose read fails once is read again and stored as any other. A folder at the
// report's name is no report: it stays with all it holds, said in the log, and counts as no
// attempt.
TEST(CrashCapture, AReportReadThroughAFailureThatPassesIsStoredAndAFolderAtItsNameIsLeftAlone)
{
    StatsWorld world;
    const std::string path = CrashReporter::reportPath();
    std::size_t stored = 0;
    for (int error : { EIO, ETIMEDOUT }) {
        SCOPED_TRACE(error);
        CrashReport report = sampleReport();
        report.exceptionName = "Failed once with " + std::to_string(error);
        const pf::Bytes bytes = CrashReport::framed(report.packed());
        writeFile(path, bytes);
        {
            testsupport::UnreadableRange once(path, 0, bytes.size(), 1, error);
            relaunchWithCrashLogging(world);
            EXPECT_EQ(testsupport::UnreadableRange::refusals(), 1);
        }
        ASSERT_EQ(world.log()["ex"].size(), ++stored);
        EXPECT_EQ(world.log()["ex"][stored - 1]["y"], Value(report.exceptionName));
        EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
        EXPECT_TRUE(pf::FileManager::asidePaths(path).empty());
    }

    ASSERT_TRUE(pf::FileManager::createDirectory(path + "/album", true));
    writeFile(path + "/photo.jpg", pf::Bytes { 0xFF, 0xD8 });
    for (int launch = 0; launch < 2; ++launch) {
        pf::Log::startCapture();
        relaunchWithCrashLogging(world);
        EXPECT_TRUE(pf::Log::contains(path + " cannot be read now (a folder lies there); it is left as it is"));
        pf::Log::stopCapture();
    }
    EXPECT_EQ(pf::FileManager::enumerate(path), (std::vector<std::string> { "album", "photo.jpg" }));
    EXPECT_EQ(world.log()["ex"].size(), stored);
    EXPECT_EQ(pf::UserDefaults::standard()->integerForKey(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey), 0);
}

// The launch after a crash, ended at any step of handling the report (a phone ending the app,
// a power cut): the launch after it stores the report's entry, once. Only a report that
// stopped the handling twice is given up, and it is kept aside.
TEST(CrashCapture, AReportIsStoredOnceWhateverStepEndsTheLaunchHandlingIt)
{
    // One real crash of an app that kept statistics before (its store and keychain items are
    // there); each launch below starts from the home it left.
    std::vector<std::pair<std::string, pf::Bytes>> crashedHome;
    pf::Bytes report;
    {
        StatsWorld world;
        world.manager();
        world.relaunch();
        std::string home = world.env.sandbox().homePath();
        runChild(home, "segv");
        auto bytes = pf::FileManager::read(CrashReporter::reportPath());
        ASSERT_TRUE(bytes);
        report = *bytes;
        for (const std::string& name : pf::FileManager::enumerate(home)) {
            if (!pf::FileManager::isDirectory(home + "/" + name))
                crashedHome.emplace_back(name, pf::FileManager::read(home + "/" + name).value());
        }
    }
    auto restore = [&](StatsWorld& world) {
        for (const auto& [name, bytes] : crashedHome) {
            std::string path = world.env.sandbox().homePath() + "/" + name;
            pf::FileManager::createDirectory(path.substr(0, path.rfind('/')), true);
            ASSERT_TRUE(pf::FileManager::writeAtomically(path, bytes));
        }
        pf::UserDefaults::resetStandard();
    };
    auto nextLaunch = [](StatsWorld& world, testsupport::KillPlan plan) {
        plan.under = world.env.sandbox().homePath();
        return testsupport::runChildProcess({ STATS_CRASH_CHILD, plan.under, "exit" }, testsupport::killAtStepEnvironment(plan));
    };
    auto attempts = [] { return pf::UserDefaults::standard()->integerForKey(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey); };

    long steps = 0;
    {
        StatsWorld world;
        restore(world);
        std::string log = pf::Sandbox::current()->tmpPath() + "/steps.log";
        testsupport::KillPlan listing;
        listing.log = log;
        auto child = nextLaunch(world, listing);
        ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << child.status << child.errorOutput;
        steps = static_cast<long>(testsupport::readKilledSteps(log).size());
        relaunchWithCrashLogging(world);
        ASSERT_EQ(world.log()["ex"].size(), 1u);
    }
    for (long at = 1; at <= steps; ++at) {
        SCOPED_TRACE("killed before step " + std::to_string(at) + " of " + std::to_string(steps));
        StatsWorld world;
        restore(world);
        testsupport::KillPlan plan;
        plan.at = at;
        ASSERT_TRUE(testsupport::wasKilled(nextLaunch(world, plan)));
        relaunchWithCrashLogging(world);
        EXPECT_EQ(world.log()["ex"].size(), 1u);
        EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
        EXPECT_TRUE(pf::FileManager::asidePaths(CrashReporter::reportPath()).empty());
        EXPECT_EQ(attempts(), 0);
    }

    // Two launches ended each right after it noted its attempt in the defaults: the third
    // gives the report up, unread, and keeps it aside.
    StatsWorld world;
    restore(world);
    std::string defaults = pf::UserDefaults::standard()->path();
    testsupport::KillPlan afterNoting;
    afterNoting.kinds = "rename";
    afterNoting.name = defaults.substr(defaults.rfind('/') + 1);
    afterNoting.at = 1;
    afterNoting.after = true;
    for (int launch = 1; launch <= 2; ++launch) {
        ASSERT_TRUE(testsupport::wasKilled(nextLaunch(world, afterNoting))) << launch;
        pf::UserDefaults::resetStandard();
        EXPECT_EQ(attempts(), launch);
    }
    pf::Log::startCapture();
    relaunchWithCrashLogging(world);
    EXPECT_TRUE(pf::Log::contains("it is set aside unread"));
    pf::Log::stopCapture();
    EXPECT_EQ(world.log()["ex"].size(), 0u);
    EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
    EXPECT_EQ(pf::FileManager::read(pf::FileManager::asidePath(CrashReporter::reportPath())), report);
    EXPECT_EQ(attempts(), 0);
}

// The report goes only once its entry is in the log's file; until then each start tries again.
TEST(CrashCapture, AReportStaysUntilItsEntryIsInTheLogsFile)
{
    const std::string refuse = "CREATE TRIGGER refuse BEFORE INSERT ON current BEGIN SELECT RAISE(ABORT, 'disk full'); END";
    const std::pair<const char*, std::function<void(const std::string& store, bool broken)>> cases[] = {
        { "the write fails", [&](const std::string& store, bool broken) {
             SQLite::Database(store, SQLite::OPEN_READWRITE).exec(broken ? refuse : "DROP TRIGGER refuse");
         } },
        { "the log is in memory only", [](const std::string& store, bool broken) {
             for (const char* suffix : { "", "-wal", "-shm" })
                 pf::FileManager::removeItem(store + suffix);
             if (broken)
                 pf::FileManager::createDirectory(store, true);
         } },
    };
    for (const auto& [what, breakStore] : cases) {
        SCOPED_TRACE(what);
        StatsWorld world;
        std::string store = TalmerinMobStatLogStore::defaultPath();
        world.manager();
        world.relaunch();
        breakStore(store, true);
        writeFile(CrashReporter::reportPath(), CrashReport::framed(sampleReport().packed()));

        pf::Log::startCapture();
        relaunchWithCrashLogging(world);
        EXPECT_TRUE(pf::Log::contains("the report is kept for the next start"));
        pf::Log::stopCapture();
        EXPECT_TRUE(CrashReporter::sharedReporter().hasPendingCrashReport());
        EXPECT_EQ(pf::UserDefaults::standard()->integerForKey(TalmerinMobStatExceptionAnalyzer::kAnalyzerStartedKey), 0);

        breakStore(store, false);
        relaunchWithCrashLogging(world);
        EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());
        world.relaunch();
        ASSERT_EQ(world.log()["ex"].size(), 1u);
        EXPECT_EQ(world.log()["ex"][0]["y"], Value("Invalid AppKey"));
    }
}

// A report whose name or reason is not UTF-8 (as an earlier version kept on disk, start after
// start) goes into the log with each stray byte shown as "\xHH", is purged once its entry is in
// the log's file, and goes out with the next upload.
TEST(CrashCapture, AReportWhoseTextIsNotUtf8GoesOutWithItsStrayBytesShown)
{
    StatsWorld world;
    CrashReport report = sampleReport();
    report.exceptionName = "bad \xff name";
    report.exceptionReason = "cut \xe7\xa4";
    writeFile(CrashReporter::reportPath(), CrashReport::framed(report.packed()));

    pf::Log::startCapture();
    relaunchWithCrashLogging(world);
    EXPECT_FALSE(pf::Log::contains("cannot be written"));
    EXPECT_FALSE(pf::Log::contains("the report is kept for the next start"));
    pf::Log::stopCapture();
    EXPECT_FALSE(CrashReporter::sharedReporter().hasPendingCrashReport());

    world.relaunch(); // what the log's file holds
    Value ex = world.log()["ex"];
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0]["y"], Value("bad \\xFF name"));
    const std::string shown = "bad \\xFF name', reason: 'cut \\xE7\\xA4'";
    EXPECT_NE(ex[0]["c"].stringValue().find(shown), std::string::npos) << ex[0]["c"].stringValue();
    world.manager()->sendLog();
    ASSERT_TRUE(world.settle());
    ASSERT_EQ(world.uploads().size(), 1u);
    EXPECT_EQ(world.uploads()[0]["ex"], ex);
}

TEST(CrashCapture, FramesAreNamedOnlyFromTheBuildThatCrashed)
{
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    auto symbols = ElfSymbols::open(self);
    ASSERT_TRUE(symbols);
    ASSERT_FALSE(symbols->buildId().empty());
    Dl_info info {};
    auto target = reinterpret_cast<std::uintptr_t>(&namedFrameTarget);
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(target), &info), 0);
    auto base = reinterpret_cast<std::uintptr_t>(info.dli_fbase);

    for (bool sameBuild : { true, false }) {
        CrashReport report = sampleReport();
        std::string buildId = symbols->buildId();
        if (!sameBuild)
            buildId[0] ^= 1;
        report.images = { { self, base, target - base + 4096, base, buildId, EM_X86_64 } };
        report.stackFrames = { { target + 5, std::nullopt } };
        auto back = CrashReport::parse(CrashReport::framed(report.packed()));
        ASSERT_TRUE(back);
        ASSERT_EQ(back->stackFrames.size(), 1u);
        if (!sameBuild) {
            EXPECT_FALSE(back->stackFrames[0].symbolInfo) << "another build's symbols would name the wrong function";
            continue;
        }
        ASSERT_TRUE(back->stackFrames[0].symbolInfo);
        EXPECT_EQ(back->stackFrames[0].symbolInfo->name, "(anonymous namespace)::namedFrameTarget(int)");
        EXPECT_EQ(back->stackFrames[0].symbolInfo->startAddress, target);
    }
}

TEST(PLCrashReportTextFormatter, FrameLinesFollowTheReportsPointerWidth)
{
    CrashReport report = sampleReport();
    std::string text = PLCrashReportTextFormatter::stringValueForCrashReport(report);
    std::string frames = text.substr(text.find(" ( \n") + 4);
    EXPECT_EQ(frames,
        "0   quorvane                            0x0000000000401234 checkAppKey() + 52\n"
        "1   quorvane                            0x0000000000401300 0x400000 + 4864\n"
        "2   ???                                 0x0000000000009999 0x0 + 0\n"
        ") \n\n");

    struct Case {
        const char* what;
        std::vector<std::uint32_t> machines;
        std::string architecture;
        bool lp64;
    };
    const Case cases[] = {
        { "an x86 image", { EM_386 }, "x86_64", false },
        { "an ARM image after one that does not decide", { EM_AARCH64, EM_ARM }, "x86_64", false },
        { "no deciding image: a 32-bit architecture", { EM_AARCH64 }, "i686", false },
        { "no deciding image: any other architecture", {}, "aarch64", true },
        { "an x86-64 image", { EM_X86_64, EM_386 }, "i686", true },
    };
    for (const auto& c : cases) {
        CrashReport r = report;
        r.architecture = c.architecture;
        r.images.clear();
        for (auto machine : c.machines)
            r.images.push_back({ "/lib/x", 0x1000, 0x10, 0, "", machine });
        r.images.push_back({ "/opt/app/bin/礼包应用", 0x400000, 0x10000, 0, "", 0 });
        EXPECT_EQ(PLCrashReportTextFormatter::isLp64(r), c.lp64) << c.what;
        std::string line = PLCrashReportTextFormatter::formatStackFrame(r.stackFrames[1], 1, r, c.lp64);
        // Names are padded by characters, not bytes.
        EXPECT_EQ(line, std::string("1   礼包应用") + std::string(31, ' ') + (c.lp64 ? " 0x0000000000401300" : " 0x00401300") + " 0x400000 + 4864\n") << c.what;
    }

    report.hasExceptionInfo = false;
    EXPECT_EQ(PLCrashReportTextFormatter::stringValueForCrashReport(report), "");
}

namespace {

TEST(PLCrashReportTextFormatter, AFormatterWritesTheTextInItsEncoding)
{
    CrashReport report = sampleReport();
    report.exceptionReason = "键 Invalid";
    std::string text = PLCrashReportTextFormatter::stringValueForCrashReport(report);
    auto utf8 = PLCrashReportTextFormatter::initWithTextFormatStringEncoding(PLCrashReportTextFormatter::kTextFormatiOS,
        PLCrashReportTextFormatter::StringEncoding::Utf8);
    EXPECT_EQ(utf8.formatReportError(report), pf::Bytes(text.begin(), text.end()));
    PLCrashReportTextFormatter ascii(PLCrashReportTextFormatter::kTextFormatiOS, PLCrashReportTextFormatter::StringEncoding::Ascii);
    pf::Bytes bytes = ascii.formatReportError(report);
    std::string lossy(bytes.begin(), bytes.end());
    EXPECT_NE(lossy.find("? Invalid"), std::string::npos);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x80; }));
    EXPECT_NE(lossy.find("Invalid AppKey"), std::string::npos);
}

}
