#include "bench/BudgetTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace {

std::string number(std::optional<double> v, const std::string& unit)
{
    if (!v || !std::isfinite(*v))
        return "-";
    char text[64];
    double a = std::fabs(*v);
    const char* format = a >= 100 ? "%.0f" : a >= 10 ? "%.1f" : a >= 0.1 ? "%.2f" : "%.3g";
    std::snprintf(text, sizeof text, format, *v);
    return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

}

std::optional<double> BudgetTable::Row::ratio() const
{
    if (!measured || !floor || !std::isfinite(*measured) || !std::isfinite(*floor) || *floor <= 0)
        return std::nullopt;
    if (pairedRatio)
        return std::isfinite(*pairedRatio) ? pairedRatio : std::nullopt;
    return *measured / *floor;
}

bool BudgetTable::Row::withinBudget() const
{
    switch (limit) {
    case Limit::Info:
        return true;
    case Limit::Absolute:
        return measured && std::isfinite(*measured) && *measured <= budget;
    case Limit::AtMostAbove:
        return measured && floor && std::isfinite(*measured) && std::isfinite(*floor) && *measured - *floor <= budget;
    case Limit::AtMost:
    case Limit::AtLeast: {
        auto r = ratio();
        return r && (limit == Limit::AtMost ? *r <= budget : *r >= budget);
    }
    }
    return false;
}

bool BudgetTable::allWithinBudget() const
{
    return std::all_of(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.withinBudget(); });
}

void BudgetTable::print(std::ostream& out) const
{
    out << "| Figure | Measured | Floor | Ratio | Budget | |\n";
    out << "|---|---:|---:|---:|---:|---|\n";
    for (const Row& row : m_rows) {
        std::string budget, ratio;
        switch (row.limit) {
        case Limit::Info: budget = "-"; break;
        case Limit::Absolute: budget = "<= " + number(row.budget, row.unit); break;
        case Limit::AtMost: budget = "<= " + number(row.budget, "") + "x"; break;
        case Limit::AtLeast: budget = ">= " + number(row.budget, "") + "x"; break;
        case Limit::AtMostAbove: budget = "<= +" + number(row.budget, row.unit); break;
        }
        if (row.limit == Limit::AtMostAbove && row.measured && row.floor)
            ratio = (*row.measured >= *row.floor ? "+" : "") + number(*row.measured - *row.floor, row.unit);
        else if (row.limit != Limit::Absolute && row.floor)
            ratio = row.ratio() ? number(row.ratio(), "") + "x" : "-";
        const char* verdict = row.limit == Limit::Info ? "" : row.withinBudget() ? "ok" : "MISSED";
        out << "| " << row.figure << " | " << number(row.measured, row.unit) << " | "
            << (row.floor ? number(row.floor, row.unit) : "") << " | " << ratio << " | " << budget << " | " << verdict
            << " |\n";
    }
}
std::optional<double> BudgetTable::median(std::vector<double> samples)
{
    if (samples.empty())
        return std::nullopt;
    std::sort(samples.begin(), samples.end());
    size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}
