#include "bench/RoundSamples.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>

std::vector<size_t> RoundSamples::passOrder(size_t members, int pass, int round)
{
    std::vector<size_t> order(members);
    std::iota(order.begin(), order.end(), size_t { 0 });
    if ((pass + round) % 2)
        std::reverse(order.begin(), order.end());
    return order;
}

bool RoundSamples::passAgain(int passesDone, double secondsSpent)
{
    if (passesDone % 2)
        return true;
    return passesDone == 0 || (passesDone < kMaxPassesPerRound && secondsSpent < kGroupSecondsPerRound);
}

std::optional<double> RoundSamples::trimmedMean(std::vector<double> values)
{
    if (values.empty())
        return std::nullopt;
    std::sort(values.begin(), values.end());
    size_t drop = values.size() / 4;
    if (drop == 0 && values.size() >= 3)
        drop = 1;
    double sum = std::accumulate(values.begin() + drop, values.end() - drop, 0.0);
    return sum / static_cast<double>(values.size() - 2 * drop);
}

void RoundSamples::add(const std::string& name, int round, double value)
{
    m_samples[name][round].push_back(value);
}

size_t RoundSamples::sampleCount(const std::string& name) const
{
    auto it = m_samples.find(name);
    if (it == m_samples.end())
        return 0;
    size_t count = 0;
    for (const auto& [round, values] : it->second)
        count += values.size();
    return count;
}

std::optional<double> RoundSamples::best(const std::string& name, int round) const
{
    auto it = m_samples.find(name);
    if (it == m_samples.end())
        return std::nullopt;
    auto r = it->second.find(round);
    if (r == it->second.end() || r->second.empty())
        return std::nullopt;
    return *std::min_element(r->second.begin(), r->second.end());
}

std::optional<double> RoundSamples::figure(const std::string& name) const
{
    return paired({ name }, [](const std::vector<double>& v) { return v[0]; });
}

std::optional<double> RoundSamples::paired(const std::vector<std::string>& names,
    const std::function<double(const std::vector<double>&)>& of) const
{
    std::set<int> rounds;
    for (const std::string& name : names) {
        if (auto it = m_samples.find(name); it != m_samples.end()) {
            for (const auto& [round, values] : it->second)
                rounds.insert(round);
        }
    }
    std::vector<double> values;
    for (int round : rounds) {
        std::vector<double> bests;
        for (const std::string& name : names) {
            if (auto b = best(name, round))
                bests.push_back(*b);
        }
        if (bests.size() != names.size())
            continue;
        double v = of(bests);
        if (std::isfinite(v))
            values.push_back(v);
    }
    return trimmedMean(std::move(values));
}

std::optional<double> RoundSamples::ratio(const std::string& figure, const std::string& floor) const
{
    return paired({ figure, floor }, [](const std::vector<double>& v) { return v[1] > 0 ? v[0] / v[1] : NAN; });
}
