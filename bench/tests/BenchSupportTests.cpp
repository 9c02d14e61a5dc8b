// The harness's own arithmetic and process measuring: a wrong verdict or a wrong unit would
// make every table scripts/bench prints meaningless.

#include "bench/BudgetTable.h"
#include "bench/ChildProcess.h"
#include "bench/MemoryFiles.h"
#include "bench/ProcessFigures.h"
#include "bench/RoundSamples.h"

#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>
#include <sstream>
#include <tuple>

namespace {

using Limit = BudgetTable::Limit;

TEST(BudgetTable, VerdictsKeepTheirBudgetsAndNeverPassWhatWasNotMeasured)
{
    struct Case {
        const char* what;
        BudgetTable::Row row;
        bool within;
    };
    const Case cases[] {
        { "at most, under", { "a", 10, 6, "ms", Limit::AtMost, 2.0 }, true },
        { "at most, exactly on the budget", { "a", 12, 6, "ms", Limit::AtMost, 2.0 }, true },
        { "at most, over", { "a", 13, 6, "ms", Limit::AtMost, 2.0 }, false },
        { "at least, over", { "a", 6, 10, "ms", Limit::AtLeast, 0.5 }, true },
        { "at least, under", { "a", 4, 10, "ms", Limit::AtLeast, 0.5 }, false },
        { "absolute limit", { "a", 29.5, std::nullopt, "MB", Limit::Absolute, 30 }, true },
        { "absolute limit passed", { "a", 31, std::nullopt, "MB", Limit::Absolute, 30 }, false },
        { "figure not measured", { "a", std::nullopt, 6, "ms", Limit::AtMost, 2.0 }, false },
        { "floor not measured", { "a", 1, std::nullopt, "ms", Limit::AtMost, 2.0 }, false },
        { "floor of zero", { "a", 3, 0, "ms", Limit::AtMost, 2.0 }, false },
        { "absolute figure not measured", { "a", std::nullopt, std::nullopt, "MB", Limit::Absolute, 30 }, false },
        { "above its floor, within", { "a", 90, 30, "MB", Limit::AtMostAbove, 64 }, true },
        { "above its floor, past", { "a", 95, 30, "MB", Limit::AtMostAbove, 64 }, false },
        { "above a floor not measured", { "a", 31, std::nullopt, "MB", Limit::AtMostAbove, 64 }, false },
        { "information only", { "a", std::nullopt, std::nullopt, "s", Limit::Info, 0 }, true },
        { "paired ratio decides, not the figures'", { "a", 10, 6, "ms", Limit::AtMost, 1.5, 1.4 }, true },
        { "paired ratio over, figures' under", { "a", 6, 6, "ms", Limit::AtMost, 1.5, 1.6 }, false },
        { "paired ratio without a floor", { "a", 6, std::nullopt, "ms", Limit::AtMost, 1.5, 1.0 }, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.row.withinBudget(), c.within) << c.what;

    BudgetTable table;
    table.add(cases[0].row);
    EXPECT_TRUE(table.allWithinBudget());
    table.add(cases[7].row);
    EXPECT_FALSE(table.allWithinBudget());
    std::ostringstream printed;
    table.print(printed);
    EXPECT_NE(printed.str().find("| 1.67x |"), std::string::npos) << printed.str();
    EXPECT_NE(printed.str().find("MISSED"), std::string::npos) << printed.str();
}

TEST(BudgetTable, PrintsThePairedRatio)
{
    BudgetTable table;
    table.add({ "a", 10, 5, "ms", Limit::AtMost, 2.5, 2.25 });
    std::ostringstream printed;
    table.print(printed);
    EXPECT_NE(printed.str().find("| 10.0 ms | 5.00 ms | 2.25x | <= 2.50x | ok |"), std::string::npos) << printed.str();
}

TEST(BudgetTable, PrintsHowFarAFigureLiesAboveItsFloor)
{
    BudgetTable table;
    table.add({ "a", 45.5, 30, "MB", Limit::AtMostAbove, 64 });
    std::ostringstream printed;
    table.print(printed);
    EXPECT_NE(printed.str().find("| 45.5 MB | 30.0 MB | +15.5 MB | <= +64.0 MB | ok |"), std::string::npos) << printed.str();
}

TEST(BudgetTable, MedianOfOddEvenAndNoSamples)
{
    EXPECT_EQ(BudgetTable::median({ 5, 1, 9 }), 5);
    EXPECT_EQ(BudgetTable::median({ 4, 1, 9, 2 }), 3);
    EXPECT_EQ(BudgetTable::median({}), std::nullopt);
}

TEST(RoundSamples, PassesRunThereAndBackAndEachRoundStartsFromTheOtherEnd)
{
    using Order = std::vector<size_t>;
    struct Case {
        size_t members;
        int pass, round;
        Order order;
    };
    const Case cases[] {
        { 2, 0, 0, { 0, 1 } }, { 2, 1, 0, { 1, 0 } }, { 2, 0, 1, { 1, 0 } }, { 2, 1, 1, { 0, 1 } },
        { 3, 0, 0, { 0, 1, 2 } }, { 3, 1, 0, { 2, 1, 0 } }, { 3, 2, 0, { 0, 1, 2 } }, { 3, 0, 3, { 2, 1, 0 } },
        { 1, 1, 0, { 0 } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundSamples::passOrder(c.members, c.pass, c.round), c.order) << c.members << " " << c.pass << " " << c.round;

    // Over two passes every member's runs sit, on average, in the middle of the round: none is
    // always early (cold) or late (after the others warmed or loaded the machine).
    for (int round = 0; round < 2; ++round) {
        std::vector<size_t> positions(4, 0);
        size_t at = 0;
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t member : RoundSamples::passOrder(4, pass, round))
                positions[member] += at++;
        }
        EXPECT_EQ(positions, std::vector<size_t>(4, 7)) << "round " << round;
    }
}

TEST(RoundSamples, ShortGroupsRunMorePassesAlwaysThereAndBack)
{
    struct Case {
        int done;
        double spent;
        bool again;
    };
    const double target = RoundSamples::kGroupSecondsPerRound;
    const int most = RoundSamples::kMaxPassesPerRound;
    const Case cases[] {
        { 0, 0, true }, { 1, 10 * target, true }, { 2, 10 * target, false }, { 2, target / 10, true },
        { 3, 10 * target, true }, { 4, target, false }, { most - 1, target / 10, true }, { most, target / 10, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundSamples::passAgain(c.done, c.spent), c.again) << c.done << " passes, " << c.spent << " s";
}

TEST(RoundSamples, TrimmedMeanDropsTheExtremes)
{
    struct Case {
        std::vector<double> values;
        std::optional<double> mean;
    };
    const Case cases[] {
        { {}, std::nullopt },
        { { 5 }, 5 },
        { { 1, 9 }, 5 },
        { { 100, 1, 2 }, 2 },
        { { 3, 100, 1, 2, 4 }, 3 },
        { { 0, 0, 4, 5, 6, 7, 100, 100 }, 5.5 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RoundSamples::trimmedMean(c.values), c.mean) << c.values.size() << " values";
}

TEST(RoundSamples, RatioIsPairedByRoundFromEachRoundsBest)
{
    RoundSamples samples;
    // The figure costs 1.2 times the floor. Round 1 ran on a machine twice as busy (both sides
    // slowed); in round 2 a burst hit one of the figure's samples; in round 3 load hit only the
    // figure; round 4 lost its floor.
    const double floor[] { 10, 20, 10, 10, 10, 10 };
    const std::vector<std::vector<double>> figure { { 12, 13 }, { 24, 25 }, { 30, 12 }, { 30, 31 }, { 12 }, { 12.5, 12 } };
    for (int round = 0; round < 6; ++round) {
        for (double v : figure[size_t(round)])
            samples.add("figure", round, v);
        if (round != 4) {
            samples.add("floor", round, floor[round] + 1);
            samples.add("floor", round, floor[round]);
        }
    }
    EXPECT_EQ(samples.best("figure", 2), 12);
    EXPECT_EQ(samples.best("floor", 4), std::nullopt);
    EXPECT_EQ(samples.sampleCount("floor"), 10u);
    // Rounds 0-3 and 5 pair as 1.2, 1.2, 1.2, 3.0, 1.2: the trimmed mean drops 3.0.
    ASSERT_TRUE(samples.ratio("figure", "floor"));
    EXPECT_DOUBLE_EQ(*samples.ratio("figure", "floor"), 1.2);
    // Against the figures themselves (bests 12, 24, 12, 30, 12, 12) the busy rounds would count.
    ASSERT_TRUE(samples.figure("figure"));
    EXPECT_DOUBLE_EQ(*samples.figure("figure"), 15);
    EXPECT_EQ(samples.ratio("figure", "nothing"), std::nullopt);

    // A ratio among three, each round on its own: the middle one against the fastest.
    RoundSamples tables;
    for (int round = 0; round < 3; ++round) {
        double load = round + 1;
        tables.add("a", round, 10 * load);
        tables.add("b", round, 11 * load);
        tables.add("c", round, round == 1 ? 9 * load : 12 * load);
    }
    auto againstFastest = tables.paired({ "a", "b", "c" }, [](const std::vector<double>& v) {
        return v[1] / *std::min_element(v.begin(), v.end());
    });
    ASSERT_TRUE(againstFastest);
    EXPECT_DOUBLE_EQ(*againstFastest, 1.1) << "rounds give 1.1, 11/9, 1.1; the trimmed mean keeps 1.1";
}

TEST(MemoryFiles, TemporaryFilesGoToMemoryAndTheCallersSettingComesBack)
{
    if (!std::filesystem::is_directory("/dev/shm"))
        GTEST_SKIP() << "no memory file system here";
    std::optional<std::string> original;
    if (const char* set = std::getenv("TMPDIR"))
        original = set;
    for (const char* before : { "/var/tmp", static_cast<const char*>(nullptr) }) {
        if (before)
            setenv("TMPDIR", before, 1);
        else
            unsetenv("TMPDIR");
        {
            MemoryFiles memory;
            EXPECT_STREQ(std::getenv("TMPDIR"), "/dev/shm");
            auto seen = ChildProcess::run({ "/bin/sh", "-c", "[ \"$TMPDIR\" = /dev/shm ]" }, "");
            ASSERT_TRUE(seen);
            EXPECT_EQ(seen->exitStatus, 0) << "a program started meanwhile must inherit it";
        }
        EXPECT_STREQ(std::getenv("TMPDIR"), before);
    }
    if (original)
        setenv("TMPDIR", original->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

TEST(ProcessFigures, TourIsTheHereDocumentOfTheRunScript)
{
    EXPECT_EQ(ProcessFigures::tourOf("a\nrun <<'TOUR' || x\nidle\n# note\ndump\nTOUR\nafter\n"), "idle\n# note\ndump\n");
    EXPECT_EQ(ProcessFigures::tourOf("no tour here\n"), "");
    EXPECT_EQ(ProcessFigures::tourOf("run <<'TOUR'\nidle\n"), "") << "an unterminated tour is no tour";
}

TEST(ChildProcess, ReportsExitStatusInputAndPeakMemoryInMegabytes)
{
    auto failed = ChildProcess::run({ "/bin/sh", "-c", "read line; [ \"$line\" = hello ] && exit 3" }, "hello\n");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->exitStatus, 3);

    // A shell holding 40 MB of text in a variable.
    auto big = ChildProcess::run({ "/bin/sh", "-c", "x=$(head -c 40000000 /dev/zero | tr '\\0' a); exit 0" }, "");
    ASSERT_TRUE(big);
    EXPECT_EQ(big->exitStatus, 0);
    EXPECT_GT(big->peakResidentMB, 38);
    EXPECT_LT(big->peakResidentMB, 400);
    EXPECT_GT(big->wallSeconds, 0);

    EXPECT_FALSE(ChildProcess::run({ "/nonexistent/program" }, ""));
}

TEST(ChildProcess, MeteredPeakMemoryIsTheChildsOwnEvenFromALargeCaller)
{
    // 300 MB touched here would be counted into a child started from this process.
    std::vector<char> ballast(300u << 20, 1);
    auto metered = ChildProcess::runMetered(QUORVANE_BENCH_METER, { "/bin/sh", "-c", "read line; exit $line" }, "4\n");
    ASSERT_TRUE(metered);
    EXPECT_EQ(metered->exitStatus, 4);
    EXPECT_LT(metered->peakResidentMB, 50) << "the caller's memory was counted";
    EXPECT_GT(metered->wallSeconds, 0);
    EXPECT_NE(ballast[12345], 0);
    EXPECT_FALSE(ChildProcess::runMetered(QUORVANE_BENCH_METER, { "/nonexistent/program" }, ""));
}

}

TEST(StartFloor, RepliesAreParsedAndAFailedRequestIsNeverASuccess)
{
    portal::PortalServer server;
    ASSERT_TRUE(server.start());
    char folder[] = "/tmp/quorvane-bench-floor-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string list = std::string(folder) + "/requests.json";
    std::string output = std::string(folder) + "/output.txt";
    auto replay = [&](const std::string& requests) {
        std::ofstream(list) << requests;
        auto outcome = ChildProcess::run({ QUORVANE_BENCH_START_FLOOR, list }, "", output);
        std::ifstream printed(output);
        return std::pair { outcome ? outcome->exitStatus : -1, std::string(std::istreambuf_iterator<char>(printed), {}) };
    };

    auto [status, printed] = replay(R"([{"method":"POST","url":")" + server.apiBaseURL()
        + R"(ka/list","headers":[["Content-Type","application/x-www-form-urlencoded"]],"body":"type=0&page=1"},)"
        + R"({"method":"GET","url":")" + server.rootURL() + R"(img/icon/1.png","headers":[],"body":""}])");
    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed, "2 requests, 1 JSON replies, 0 failed\n");
    EXPECT_EQ(server.receivedRequests().size(), 2u);

    std::tie(status, printed) = replay(R"([{"method":"GET","url":"http://127.0.0.1:1/","headers":[],"body":""}])");
    EXPECT_EQ(status, 1) << "a request that got no reply must fail the floor's run";
    std::tie(status, printed) = replay("{not a list");
    EXPECT_EQ(status, 2);
    std::filesystem::remove_all(folder);
}
