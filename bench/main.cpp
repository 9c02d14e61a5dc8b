// quorvane-bench: every benchmark of the app beside its floor, measured in the same run, as
// one table of ratios and budgets (see scripts/bench).
//
//   quorvane-bench [--repetitions N] [--work DIR] [--only PREFIX]
//
// --only runs just the benchmarks whose names start with PREFIX ("Store", "Table") and no
// whole-program figures; its table has only those rows that could be measured.
//
// Each figure and its floor alternate within each of N rounds, and every ratio is worked out
// within a round before the rounds are combined (see RoundSamples), so other work on the
// machine cannot decide a verdict. Exit status: 0 when every ratio keeps its budget, 1 when one
// does not, 2 for a bad command line.

#include "bench/BudgetTable.h"
#include "bench/ProcessFigures.h"
#include "bench/RoundSamples.h"
#include "bench/StoreFiles.h"

#include <benchmark/benchmark.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

// Keeps the time per iteration (in seconds) of the last run it was shown and the counters of
// every run, filed under the name the runner is measuring now.
class Collector final : public benchmark::BenchmarkReporter {
public:
    std::string current;
    std::optional<double> lastSeconds;
    std::map<std::string, std::map<std::string, double>> counters;
    std::vector<std::string> errors;

    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                errors.push_back(run.benchmark_name() + ": " + run.error_message);
                continue;
            }
            if (run.run_type != Run::RT_Iteration || run.iterations == 0)
                continue;
            lastSeconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            for (const auto& [name, counter] : run.counters)
                counters[current][name] = counter.value;
        }
    }
};

// The benchmarks, in the groups whose members a row compares; each group's members alternate
// within a round (see RoundSamples).
const std::vector<std::vector<std::string>> kGroups {
    { "ReplyToRecords/20/", "ReplyParseFloor/20/" },
    { "ReplyToRecords/200/", "ReplyParseFloor/200/" },
    { "ReplyToRecords/2000/", "ReplyParseFloor/2000/" },
    { "StoreInsert/", "StoreInsertFloor/1/", "StoreInsertFloor/0/" },
    { "StoreList/", "StoreListFloor/" },
    { "StoreLaunchPurge/4000/", "StoreLaunchPurgeFloor/4000/" },
    { "StoreLaunchPurge/20000/", "StoreLaunchPurgeFloor/20000/" },
    { "StoreMend/20000/", "StoreMendFloor/20000/" },
    { "TableScroll/10/", "TableScroll/1000/", "TableScroll/10000/" },
    { "ImageDecode/", "ImageDecodeFloor/" },
    { "ImageCacheMiss/", "ImageCacheDiskHit/", "ImageCacheMemoryHit/" },
    { "WebPageLoad/", "WebPageLoadFloor/" },
    { "ScriptHostCreate/", "ScriptHostCreateFloor/" },
    { "StatsLogEvent/10/", "StatsLogEvent/10000/" },
    { "StatsSendLog/", "StatsSendLogFloor/" },
};

// On a busy machine a thread that wakes (a reply arrived, a queue has work) waits for a core
// behind the others' compilers, and the app, which hands work between threads more often than
// its floors, pays for it many times over: under load the cold start measured five times its
// floor instead of one and a half. The lowest real-time priority lets this process and every
// thread and program it starts (each inherits it) run as soon as they are ready, figures and
// floors alike; round-robin, so that its own threads still take turns. Returns why not when the
// system refuses it.
std::optional<std::string> runAheadOfOtherWork()
{
    sched_param priority {};
    priority.sched_priority = sched_get_priority_min(SCHED_RR);
    if (sched_setscheduler(0, SCHED_RR, &priority) != 0)
        return std::string(std::strerror(errno));
    return std::nullopt;
}

std::optional<double> scaled(std::optional<double> v, double factor)
{
    if (!v)
        return std::nullopt;
    return *v * factor;
}

}

int main(int argc, char** argv)
{
    int repetitions = 5;
    std::string work = std::filesystem::temp_directory_path() / "quorvane-bench";
    std::string only;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--repetitions" && i + 1 < argc)
            repetitions = std::atoi(argv[++i]);
        else if (arg == "--work" && i + 1 < argc)
            work = argv[++i];
        else if (arg == "--only" && i + 1 < argc)
            only = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--repetitions N] [--work DIR] [--only PREFIX]\n", argv[0]);
            return 2;
        }
    }
    if (repetitions < 1) {
        std::fprintf(stderr, "quorvane-bench: --repetitions is at least 1\n");
        return 2;
    }
    std::filesystem::create_directories(work);
    // Before any thread is started, so that all of them inherit it.
    std::optional<std::string> notAhead = runAheadOfOtherWork();
    if (notAhead)
        std::fprintf(stderr, "bench: no real-time priority (%s): other work on the machine weighs on the figures\n", notAhead->c_str());

    int benchmarkArgc = 1;
    benchmark::Initialize(&benchmarkArgc, argv);
    Collector collector;
    RoundSamples rounds;
    for (int round = 0; round < repetitions; ++round) {
        std::fprintf(stderr, "bench: round %d of %d: benchmarks", round + 1, repetitions);
        for (std::vector<std::string> group : kGroups) {
            std::erase_if(group, [&](const std::string& name) { return name.rfind(only, 0) != 0; });
            auto started = std::chrono::steady_clock::now();
            auto spent = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); };
            for (int pass = 0; !group.empty() && RoundSamples::passAgain(pass, spent()); ++pass) {
                for (size_t member : RoundSamples::passOrder(group.size(), pass, round)) {
                    collector.current = group[member];
                    collector.lastSeconds.reset();
                    benchmark::RunSpecifiedBenchmarks(&collector, "^" + group[member]);
                    if (collector.lastSeconds)
                        rounds.add(group[member], round, *collector.lastSeconds);
                }
            }
            if (!group.empty())
                std::fputc('.', stderr);
        }
        std::fputc('\n', stderr);
    }
    for (const std::string& error : collector.errors)
        std::fprintf(stderr, "bench: %s\n", error.c_str());

    ProcessFigures::Results processes;
    if (only.empty()) {
        std::fprintf(stderr, "bench: cold starts and the tour\n");
        processes = ProcessFigures::measure({ QUORVANE_BENCH_APP, QUORVANE_BENCH_START_FLOOR, QUORVANE_BENCH_METER,
                                                 QUORVANE_BENCH_SOURCE "/scripts/run", work },
            repetitions);
    }
    // The mend's peak memory beside a clean launch's, on the mend row's store and the same
    // store sound: whole launches, for the kernel's count of a process's peak.
    ProcessFigures::LaunchMemory launches;
    const bool mendMeasured = std::string("StoreMend/").rfind(only, 0) == 0;
    if (mendMeasured) {
        std::fprintf(stderr, "bench: launches on a sound and a damaged store\n");
        launches = ProcessFigures::measureLaunches({ QUORVANE_BENCH_APP, QUORVANE_BENCH_START_FLOOR, QUORVANE_BENCH_METER,
                                                       QUORVANE_BENCH_SOURCE "/scripts/run", work },
            storefiles::sound(20000), storefiles::damaged(20000), std::max(3, repetitions));
    }
    for (const auto* s : { &processes.start, &processes.startFloor, &processes.tour, &launches.clean, &launches.mending }) {
        if (s->failures)
            std::fprintf(stderr, "bench: %d failed runs (%s)\n", s->failures, s->lastFailure.c_str());
    }

    // A benchmark that reported an error has no figure at all.
    auto failed = [&](const std::string& name) {
        return std::any_of(collector.errors.begin(), collector.errors.end(),
            [&](const std::string& error) { return error.rfind(name, 0) == 0; });
    };
    auto time = [&](const std::string& name) -> std::optional<double> {
        return failed(name) ? std::nullopt : rounds.figure(name);
    };
    auto ratio = [&](const std::string& figure, const std::string& floor) -> std::optional<double> {
        return failed(figure) || failed(floor) ? std::nullopt : rounds.ratio(figure, floor);
    };
    auto wholeRuns = [](const ProcessFigures::Samples& s, const std::vector<double>& v) -> std::optional<double> {
        return s.failures ? std::nullopt : BudgetTable::median(v);
    };
    auto peak = [](const ProcessFigures::Samples& s) -> std::optional<double> {
        if (s.failures || s.peakResidentMB.empty())
            return std::nullopt;
        return *std::max_element(s.peakResidentMB.begin(), s.peakResidentMB.end());
    };

    using Limit = BudgetTable::Limit;
    BudgetTable table;
    // A row of a figure beside its floor, the ratio paired by round.
    auto pairRow = [&](const std::string& label, const std::string& figure, const std::string& floor, double scale,
                       const std::string& unit, Limit limit, double budget) {
        table.add({ label, scaled(time(figure), scale), scaled(time(floor), scale), unit, limit, budget, ratio(figure, floor) });
    };
    bool startsFailed = processes.start.failures || processes.startFloor.failures;
    auto startFigure = [&](const char* name) { return startsFailed ? std::nullopt : scaled(processes.rounds.figure(name), 1e3); };
    table.add({ "Cold start to the first idle (" + std::to_string(processes.startRequests) + " requests)",
        startFigure(ProcessFigures::kStart), startFigure(ProcessFigures::kStartFloor), "ms", Limit::AtMost, 2.0,
        processes.rounds.ratio(ProcessFigures::kStart, ProcessFigures::kStartFloor) });
    // The whole start-up: statistics started, the vendors registered, the reminder running.
    table.add({ "Cold start peak memory", peak(processes.start), std::nullopt, "MB", Limit::Absolute, 35 });
    for (int gifts : { 20, 200, 2000 }) {
        std::string n = std::to_string(gifts);
        pairRow("\"ka/list\" reply of " + n + " gifts to records", "ReplyToRecords/" + n + "/", "ReplyParseFloor/" + n + "/",
            1e6, "us", Limit::AtMost, 2.0);
    }
    // Linear in the reply's size: going from 200 to 2,000 gifts costs the records no more than
    // it costs the bare parser, whose own growth (caches, memory) is the floor.
    auto growth = [&](const std::string& name) -> std::optional<double> {
        if (failed(name + "/200/") || failed(name + "/2000/"))
            return std::nullopt;
        return rounds.paired({ name + "/2000/", name + "/200/" }, [](const std::vector<double>& v) { return v[0] / v[1]; });
    };
    std::optional<double> growthRatio;
    if (growth("ReplyToRecords") && growth("ReplyParseFloor")) {
        growthRatio = rounds.paired({ "ReplyToRecords/2000/", "ReplyToRecords/200/", "ReplyParseFloor/2000/", "ReplyParseFloor/200/" },
            [](const std::vector<double>& v) { return (v[0] / v[1]) / (v[2] / v[3]); });
    }
    table.add({ "\"ka/list\" growth from 200 to 2,000 gifts", growth("ReplyToRecords"), growth("ReplyParseFloor"), "x",
        Limit::AtMost, 1.5, growthRatio });
    pairRow("Booked store: 1,000 bookings inserted (a connection each)", "StoreInsert/", "StoreInsertFloor/1/", 1e3, "ms",
        Limit::AtMost, 1.5);
    pairRow("Booked store: the same against one connection for all", "StoreInsert/", "StoreInsertFloor/0/", 1e3, "ms",
        Limit::Info, 0);
    pairRow("Booked store: 1,000 bookings listed", "StoreList/", "StoreListFloor/", 1e3, "ms", Limit::AtMost, 1.5);
    // A launch's first use of a sound store: the check of the file, then the purge (none stale).
    for (auto [n, shown] : { std::pair { "4000", "4,000" }, std::pair { "20000", "20,000" } }) {
        pairRow(std::string("Booked store: a launch's check and purge, ") + shown + " bookings",
            std::string("StoreLaunchPurge/") + n + "/", std::string("StoreLaunchPurgeFloor/") + n + "/", 1e3, "ms",
            Limit::AtMost, 1.5);
    }
    // A launch that finds every other leaf damaged and mends the store from its pages, against
    // bare sqlite3 copying the rows of the sound store into a new file in one transaction.
    pairRow("Booked store: mend of 20,000 bookings, every other leaf damaged", "StoreMend/20000/", "StoreMendFloor/20000/", 1e3,
        "ms", Limit::AtMost, 2.0);
    // The same mend's peak memory, a whole launch's, against a launch on the same store sound.
    if (mendMeasured) {
        table.add({ "Booked store: the mend's launch, peak memory against a clean launch's", peak(launches.mending),
            peak(launches.clean), "MB", Limit::AtMostAbove, 64 });
    }
    // Each table's page against the fastest of the three in the same round.
    const std::vector<std::string> tables { "TableScroll/10/", "TableScroll/1000/", "TableScroll/10000/" };
    bool tablesMeasured = std::none_of(tables.begin(), tables.end(), failed);
    auto fastest = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    std::optional<double> fastestPage = tablesMeasured ? rounds.paired(tables, fastest) : std::nullopt;
    for (size_t i = 0; i < tables.size(); ++i) {
        std::optional<double> against;
        if (tablesMeasured)
            against = rounds.paired(tables, [&](const std::vector<double>& v) { return v[i] / fastest(v); });
        table.add({ "Table page (drag and dump), " + std::string(i == 0 ? "10" : i == 1 ? "1,000" : "10,000")
                + " rows, against the fastest",
            scaled(time(tables[i]), 1e6), scaled(fastestPage, 1e6), "us", Limit::AtMost, 1.5, against });
    }
    auto& tableCounters = collector.counters["TableScroll/10000/"];
    std::optional<double> heapTop, heapBottom;
    if (tableCounters.count("heap_top") && time("TableScroll/10000/")) {
        heapTop = tableCounters["heap_top"] / 1024;
        heapBottom = tableCounters["heap_bottom"] / 1024;
    }
    table.add({ "Heap after 10,000 rows scrolled, against the top", heapBottom, heapTop, "KB", Limit::AtMost, 1.05 });
    pairRow("Decoding the sample icons and banners", "ImageDecode/", "ImageDecodeFloor/", 1e6, "us", Limit::AtMost, 1.5);
    pairRow("Image cache: disk hit against a miss", "ImageCacheDiskHit/", "ImageCacheMiss/", 1e6, "us", Limit::AtMost, 0.75);
    pairRow("Image cache: memory hit against a miss", "ImageCacheMemoryHit/", "ImageCacheMiss/", 1e6, "us", Limit::AtMost, 0.01);
    pairRow("Web page of 100 KB with four scripts, request to bridge ready", "WebPageLoad/", "WebPageLoadFloor/", 1e3, "ms",
        Limit::AtMost, 1.5);
    pairRow("LM Connect session made (scripts verified, loaded, init run)", "ScriptHostCreate/", "ScriptHostCreateFloor/", 1e3,
        "ms", Limit::AtMost, 1.5);
    auto heapOf = [&](const std::string& name) -> std::optional<double> {
        auto& c = collector.counters[name];
        if (!c.count("heap") || !time(name))
            return std::nullopt;
        return c["heap"] / 1024;
    };
    table.add({ "LM Connect session's heap, against a bare script heap", heapOf("ScriptHostCreate/"),
        heapOf("ScriptHostCreateFloor/"), "KB", Limit::Info, 0 });
    pairRow("Statistics: one event logged, 10,000 logged against 10", "StatsLogEvent/10000/", "StatsLogEvent/10/", 1e3, "ms",
        Limit::AtMost, 1.2);
    pairRow("Statistics: a log of 200 KB sent", "StatsSendLog/", "StatsSendLogFloor/", 1e3, "ms", Limit::AtMost, 1.5);
    table.add({ "Tour of scripts/run: wall time", wholeRuns(processes.tour, processes.tour.wallSeconds), std::nullopt, "s", Limit::Info, 0 });
    table.add({ "Tour of scripts/run: CPU time", wholeRuns(processes.tour, processes.tour.cpuSeconds), std::nullopt, "s", Limit::Info, 0 });
    table.add({ "Tour of scripts/run: peak memory", peak(processes.tour), std::nullopt, "MB", Limit::Info, 0 });

    if (!only.empty()) {
        BudgetTable measured;
        for (const auto& row : table.rows()) {
            if (row.measured)
                measured.add(row);
        }
        table = measured;
    }
    std::cout << "\n";
    table.print(std::cout);
    std::cout << "\n" << repetitions << " rounds. Measured and floor: each side's best of a round, the rounds' trimmed mean;\n"
                 "ratio: figure over floor within each round, the rounds' trimmed mean. "
              << (notAhead ? "Ran at normal priority: other work on the machine weighed on it.\n"
                           : "Ran at a real-time priority.\n");
    if (!table.allWithinBudget()) {
        std::cout << "Some figures are outside their budgets (MISSED above).\n";
        return 1;
    }
    return 0;
}
