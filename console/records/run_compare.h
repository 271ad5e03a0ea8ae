#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/pair_table.h"
#include "console/core/run_judgement.h"

namespace quarn::console::records {

// A figure of `row` as its table shows it (one of its figure texts); a row that never
// counted a second, or a text that is no number, has none.
std::optional<double> ShownFigure(const PairRecord& row, const std::string& text);

// The change from `reference` to `current` in percent; nullopt when the reference is 0,
// since no change of a silent link can be put as a share of it.
std::optional<double> PercentChange(double current, double reference);

// One row of the current table set against its counterpart in the reference.
struct PairComparison {
    int row = 0;            // in the current table; 0 is the All row
    int referenceRow = -1;  // -1: the reference has no such pair
    std::optional<double> averagePercent;
    std::optional<double> minimumPercent;
    std::optional<double> maximumPercent;
};

// Every row of `current` (the All row first) with the difference in % of its shown
// figures. Pairs are matched by their two addresses, the n-th occurrence with the n-th, so
// a reordered table still compares like with like; rows without figures have none.
std::vector<PairComparison> ComparePairs(const PairTable& current, const PairTable& reference);

// The baseline's shown average for each pair of `current`, matched as ComparePairs matches.
BaselineAverages BaselineOf(const PairTable& current, const PairTable& baseline);

}  // namespace quarn::console::records
