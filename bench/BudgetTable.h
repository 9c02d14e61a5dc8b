#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// The table scripts/bench prints: each figure beside its floor (the same work measured in the
// same run), their ratio and the budget the ratio must keep. A figure measured against an
// absolute limit (peak memory) has no floor: `Absolute` compares the figure itself.
//
// Rules:
// - A row whose figure, or floor where it needs one, could not be measured is a miss, never a
//   pass.
// - `AtMost` passes when ratio <= budget, `AtLeast` when ratio >= budget, `Absolute` when the
//   figure <= budget, `AtMostAbove` when the figure exceeds its floor by no more than the budget
//   (in the figure's unit: a peak of memory beside another's); `Info` rows are printed and never
//   fail.
class BudgetTable {
public:
    enum class Limit { AtMost, AtLeast, Absolute, AtMostAbove, Info };

    struct Row {
        std::string figure;
        std::optional<double> measured;
        std::optional<double> floor;
        std::string unit;
        Limit limit { Limit::AtMost };
        double budget { 0 };
        // The ratio worked out within each round (RoundSamples::ratio), where the row has one:
        // then it is not measured / floor, which are each side's own figures.
        std::optional<double> pairedRatio {};

        // The paired ratio, or else measured / floor; none when the figure or the floor is
        // missing (or the floor is not positive).
        std::optional<double> ratio() const;
        bool withinBudget() const;
    };

    void add(Row row) { m_rows.push_back(std::move(row)); }
    const std::vector<Row>& rows() const { return m_rows; }
    bool allWithinBudget() const;
    // A Markdown table, one line per row.
    void print(std::ostream& out) const;

    // The median of the samples (the mean of the middle two for an even count); none when empty.
    static std::optional<double> median(std::vector<double> samples);

private:
    std::vector<Row> m_rows;
};
