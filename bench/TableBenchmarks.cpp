// A table of 10, 1,000 or 10,000 rows scrolled from top to bottom through the driver, a page
// (one finger drag) at a time, with the dump of the visible screen after each page. The time
// per page must not depend on the row count, and the heap must not grow with rows passed.

#include "platform/testing/TaskEnvironment.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/UIEnvironment.h"
#include "platform/ui/Window.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>

namespace {

// Rows tall enough that even the 10-row table is longer than the screen, so every table
// scrolls and reuses cells; a page is a 400-point drag.
constexpr double kRowHeight = 100;
constexpr double kPage = 400;

class NumberedRows final : public pf::TableViewDataSource {
public:
    explicit NumberedRows(int count) : m_count(count) { }
    int numberOfRowsInSection(pf::TableView&, int) override { return m_count; }
    std::shared_ptr<pf::TableViewCell> cellForRowAtIndexPath(pf::TableView& table, const pf::IndexPath& indexPath) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("row");
        if (!cell)
            cell = std::make_shared<pf::TableViewCell>(pf::TableViewCellStyle::Subtitle, "row");
        // A text never shown before, so every table measures new text on every page.
        ++m_served;
        cell->textLabel()->setText("礼包 " + std::to_string(indexPath.row) + " · " + std::to_string(m_served));
        cell->detailTextLabel()->setText("剩余 " + std::to_string(m_served % 977) + " 个");
        return cell;
    }

private:
    int m_count;
    long m_served { 0 };
};

double heapInUse()
{
    return static_cast<double>(mallinfo2().uordblks);
}

void TableScroll(benchmark::State& state)
{
    pf::TaskEnvironment env;
    pf::UIEnvironment::reset();
    const int rows = static_cast<int>(state.range(0));
    auto source = std::make_shared<NumberedRows>(rows);
    auto bounds = pf::Screen::main().bounds();
    auto window = std::make_shared<pf::Window>(bounds);
    auto table = std::make_shared<pf::TableView>(bounds);
    table->setRowHeight(kRowHeight);
    table->setDataSource(source);
    window->addSubview(table);
    window->makeKeyAndVisible();
    pf::Driver driver;
    driver.settle();

    auto bottom = [&] { return std::max(0.0, table->contentSize().height - table->bounds().size.height); };
    double heapTop = 0, heapBottom = 0;
    for (auto _ : state) {
        table->setContentOffset({ 0, 0 });
        driver.settle();
        benchmark::DoNotOptimize(driver.dump());
        heapTop = heapInUse();
        int pages = 0;
        auto started = std::chrono::steady_clock::now();
        for (;;) {
            double before = table->contentOffset().y;
            double step = std::min(kPage, bottom() - before);
            driver.drag({ bounds.size.width / 2, bounds.size.height - 20 }, { 0, -std::max(step, 0.0) });
            driver.settle();
            benchmark::DoNotOptimize(driver.dump());
            ++pages;
            double after = table->contentOffset().y;
            if (after >= bottom() - 1 || after <= before)
                break;
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        heapBottom = heapInUse();
        state.SetIterationTime(seconds / pages);
        state.counters["pages"] = pages;
        if (rows > 100 && table->contentOffset().y < bottom() - 1)
            state.SkipWithError("the table did not reach its bottom");
    }
    state.counters["heap_top"] = heapTop;
    state.counters["heap_bottom"] = heapBottom;
    window->setHidden(true);
}

}

// The short table has one page, so it is timed over many passes; the long ones over one.
BENCHMARK(TableScroll)->Arg(10)->UseManualTime()->Iterations(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(TableScroll)->Arg(1000)->Arg(10000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
