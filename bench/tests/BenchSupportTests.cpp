// The harness's own arithmetic and process measuring: a wrong verdict or a wrong unit would
// make every table scripts/bench prints meaningless.

#include "bench/BudgetTable.h"
#include "bench/ChildProcess.h"
#include "bench/ProcessFigures.h"

#include "tools/portal/PortalServer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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
        { "information only", { "a", std::nullopt, std::nullopt, "s", Limit::Info, 0 }, true },
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

TEST(BudgetTable, MedianOfOddEvenAndNoSamples)
{
    EXPECT_EQ(BudgetTable::median({ 5, 1, 9 }), 5);
    EXPECT_EQ(BudgetTable::median({ 4, 1, 9, 2 }), 3);
    EXPECT_EQ(BudgetTable::median({}), std::nullopt);
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
