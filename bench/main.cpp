// quorvane-bench: every benchmark of the app beside its floor, measured in the same run, as
// one table of ratios and budgets (see scripts/bench).
//
//   quorvane-bench [--repetitions N] [--work DIR] [--only PREFIX]
//
// --only runs just the benchmarks whose names start with PREFIX ("Store", "Table") and no
// whole-program figures; its table has only those rows that could be measured.
//
// Each figure and its floor run in turn, N times over, and the table shows the medians, so a
// busy machine slows both alike. Exit status: 0 when every ratio keeps its budget, 1 when one
// does not, 2 for a bad command line.

#include "bench/BudgetTable.h"
#include "bench/ProcessFigures.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

namespace {

// Keeps the time per iteration (in seconds) and the counters of every run it is shown,
// filed under the name the runner is measuring now.
class Collector final : public benchmark::BenchmarkReporter {
public:
    std::string current;
    std::map<std::string, std::vector<double>> seconds;
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
            seconds[current].push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
            for (const auto& [name, counter] : run.counters)
                counters[current][name] = counter.value;
        }
    }
};

// The benchmarks, each figure next to its floor so that they alternate.
const std::vector<std::string> kMicro {
    "ReplyToRecords/20/", "ReplyParseFloor/20/",
    "ReplyToRecords/200/", "ReplyParseFloor/200/",
    "ReplyToRecords/2000/", "ReplyParseFloor/2000/",
    "StoreInsert/", "StoreInsertFloor/1/", "StoreInsertFloor/0/",
    "StoreList/", "StoreListFloor/",
    "TableScroll/10/", "TableScroll/1000/", "TableScroll/10000/",
    "ImageDecode/", "ImageDecodeFloor/",
    "ImageCacheMiss/", "ImageCacheDiskHit/", "ImageCacheMemoryHit/",
    "WebPageLoad/", "WebPageLoadFloor/",
    "ScriptHostCreate/", "ScriptHostCreateFloor/",
    "StatsLogEvent/10/", "StatsLogEvent/10000/",
    "StatsSendLog/", "StatsSendLogFloor/",
};

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

    int benchmarkArgc = 1;
    benchmark::Initialize(&benchmarkArgc, argv);
    Collector collector;
    for (int r = 0; r < repetitions; ++r) {
        std::fprintf(stderr, "bench: round %d of %d: benchmarks", r + 1, repetitions);
        for (const std::string& name : kMicro) {
            if (name.rfind(only, 0) != 0)
                continue;
            collector.current = name;
            benchmark::RunSpecifiedBenchmarks(&collector, "^" + name);
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
    for (const auto* s : { &processes.start, &processes.startFloor, &processes.tour }) {
        if (s->failures)
            std::fprintf(stderr, "bench: %d failed runs (%s)\n", s->failures, s->lastFailure.c_str());
    }

    auto time = [&](const std::string& name) -> std::optional<double> {
        // A benchmark that reported an error has no figure at all.
        for (const std::string& error : collector.errors) {
            if (error.rfind(name, 0) == 0)
                return std::nullopt;
        }
        return BudgetTable::median(collector.seconds[name]);
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
    table.add({ "Cold start to the first idle (" + std::to_string(processes.startRequests) + " requests)",
        scaled(wholeRuns(processes.start, processes.start.wallSeconds), 1e3),
        scaled(wholeRuns(processes.startFloor, processes.startFloor.wallSeconds), 1e3), "ms", Limit::AtMost, 2.0 });
    // The whole start-up: statistics started, the vendors registered, the reminder running.
    table.add({ "Cold start peak memory", peak(processes.start), std::nullopt, "MB", Limit::Absolute, 35 });
    for (int gifts : { 20, 200, 2000 }) {
        std::string n = std::to_string(gifts);
        table.add({ "\"ka/list\" reply of " + n + " gifts to records", scaled(time("ReplyToRecords/" + n + "/"), 1e6),
            scaled(time("ReplyParseFloor/" + n + "/"), 1e6), "us", Limit::AtMost, 2.0 });
    }
    // Linear in the reply's size: going from 200 to 2,000 gifts costs the records no more than
    // it costs the bare parser, whose own growth (caches, memory) is the floor.
    auto growth = [&](const char* name) -> std::optional<double> {
        auto small = time(std::string(name) + "/200/"), large = time(std::string(name) + "/2000/");
        if (!small || !large || *small <= 0)
            return std::nullopt;
        return *large / *small;
    };
    table.add({ "\"ka/list\" growth from 200 to 2,000 gifts", growth("ReplyToRecords"), growth("ReplyParseFloor"), "x",
        Limit::AtMost, 1.5 });
    table.add({ "Booked store: 1,000 bookings inserted (a connection each)", scaled(time("StoreInsert/"), 1e3),
        scaled(time("StoreInsertFloor/1/"), 1e3), "ms", Limit::AtMost, 1.5 });
    table.add({ "Booked store: the same against one connection for all", scaled(time("StoreInsert/"), 1e3),
        scaled(time("StoreInsertFloor/0/"), 1e3), "ms", Limit::Info, 0 });
    table.add({ "Booked store: 1,000 bookings listed", scaled(time("StoreList/"), 1e3), scaled(time("StoreListFloor/"), 1e3),
        "ms", Limit::AtMost, 1.5 });
    std::optional<double> fastestPage;
    for (const char* rows : { "10", "1000", "10000" }) {
        auto t = time(std::string("TableScroll/") + rows + "/");
        if (t && (!fastestPage || *t < *fastestPage))
            fastestPage = t;
    }
    for (auto [rows, label] : { std::pair { "10", "10" }, { "1000", "1,000" }, { "10000", "10,000" } }) {
        table.add({ std::string("Table page (drag and dump), ") + label + " rows, against the fastest",
            scaled(time(std::string("TableScroll/") + rows + "/"), 1e6), scaled(fastestPage, 1e6), "us", Limit::AtMost, 1.5 });
    }
    auto& tableCounters = collector.counters["TableScroll/10000/"];
    std::optional<double> heapTop, heapBottom;
    if (tableCounters.count("heap_top") && time("TableScroll/10000/")) {
        heapTop = tableCounters["heap_top"] / 1024;
        heapBottom = tableCounters["heap_bottom"] / 1024;
    }
    table.add({ "Heap after 10,000 rows scrolled, against the top", heapBottom, heapTop, "KB", Limit::AtMost, 1.05 });
    table.add({ "Decoding the sample icons and banners", scaled(time("ImageDecode/"), 1e6), scaled(time("ImageDecodeFloor/"), 1e6),
        "us", Limit::AtMost, 1.5 });
    table.add({ "Image cache: disk hit against a miss", scaled(time("ImageCacheDiskHit/"), 1e6), scaled(time("ImageCacheMiss/"), 1e6),
        "us", Limit::AtMost, 0.75 });
    table.add({ "Image cache: memory hit against a miss", scaled(time("ImageCacheMemoryHit/"), 1e6),
        scaled(time("ImageCacheMiss/"), 1e6), "us", Limit::AtMost, 0.01 });
    table.add({ "Web page of 100 KB with four scripts, request to bridge ready", scaled(time("WebPageLoad/"), 1e3),
        scaled(time("WebPageLoadFloor/"), 1e3), "ms", Limit::AtMost, 1.5 });
    table.add({ "LM Connect session made (scripts verified, loaded, init run)", scaled(time("ScriptHostCreate/"), 1e3),
        scaled(time("ScriptHostCreateFloor/"), 1e3), "ms", Limit::AtMost, 1.5 });
    auto heapOf = [&](const std::string& name) -> std::optional<double> {
        auto& c = collector.counters[name];
        if (!c.count("heap") || !time(name))
            return std::nullopt;
        return c["heap"] / 1024;
    };
    table.add({ "LM Connect session's heap, against a bare script heap", heapOf("ScriptHostCreate/"),
        heapOf("ScriptHostCreateFloor/"), "KB", Limit::Info, 0 });
    table.add({ "Statistics: one event logged, 10,000 logged against 10", scaled(time("StatsLogEvent/10000/"), 1e3),
        scaled(time("StatsLogEvent/10/"), 1e3), "ms", Limit::AtMost, 1.2 });
    table.add({ "Statistics: a log of 200 KB sent", scaled(time("StatsSendLog/"), 1e3), scaled(time("StatsSendLogFloor/"), 1e3),
        "ms", Limit::AtMost, 1.5 });
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
    std::cout << "\nMedians of " << repetitions << " rounds; each floor ran in the same round as its figure.\n";
    if (!table.allWithinBudget()) {
        std::cout << "Some figures are outside their budgets (MISSED above).\n";
        return 1;
    }
    return 0;
}
