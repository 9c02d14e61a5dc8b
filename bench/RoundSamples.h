#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The samples of a run, by benchmark and round, and the statistic every timed row of the table
// is judged by.
//
// Other work on the machine only ever adds time, and it comes and goes within seconds. So:
// - The benchmarks a row compares (a figure and its floor, or a few sizes of one figure) form
//   a group that is run in passes over its members, each pass in the other direction (A B, then
//   B A), the first direction flipping from round to round: no member always runs first, or
//   right after the same neighbour, and a figure and its floor see the same load.
// - Within a round each member keeps its best (lowest) sample: a burst of load that hit one
//   sample is dropped, not averaged in.
// - A ratio is worked out within each round from that round's bests, so a round that was slow
//   for everything still gives a fair ratio; the rounds' ratios are then combined by a trimmed
//   mean, so a round in which load hit only one side moves the verdict by nothing.
class RoundSamples {
public:
    // The members' order in pass `pass` of round `round` (0-based): forward when pass + round
    // is even, backward otherwise. Two passes of A, B run A B B A in round 0, B A A B in round 1.
    static std::vector<size_t> passOrder(size_t members, int pass, int round);
    // Whether a group that has run `passesDone` passes in this round, taking `secondsSpent`,
    // runs another. Passes go two at a time (there and back) until the round has spent
    // kGroupSecondsPerRound on the group, at most kMaxPassesPerRound: a group whose runs are
    // short gets more samples, so that its round best is one that load did not touch.
    static bool passAgain(int passesDone, double secondsSpent);
    static constexpr double kGroupSecondsPerRound = 2.5;
    static constexpr int kMaxPassesPerRound = 16;
    // The mean of the values left after dropping the highest and the lowest quarter (rounded
    // down, but at least one of each when there are three or more); none when empty.
    static std::optional<double> trimmedMean(std::vector<double> values);

    void add(const std::string& name, int round, double value);
    size_t sampleCount(const std::string& name) const;
    // The lowest of `name`'s samples in `round`; none when it has none there.
    std::optional<double> best(const std::string& name, int round) const;
    // The trimmed mean of `name`'s round bests: the figure shown beside the ratio.
    std::optional<double> figure(const std::string& name) const;
    // `of` applied to the round bests of `names` (in that order) in each round that has all of
    // them, then the trimmed mean of those values. None when no round has them all.
    std::optional<double> paired(const std::vector<std::string>& names,
        const std::function<double(const std::vector<double>&)>& of) const;
    // The paired ratio of a figure to its floor.
    std::optional<double> ratio(const std::string& figure, const std::string& floor) const;

private:
    std::map<std::string, std::map<int, std::vector<double>>> m_samples;
};
