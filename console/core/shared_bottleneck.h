#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "console/core/pair_id.h"

namespace quarn::console {

// One pair of an isolation run: its average alone and with every other pair at once.
struct IsolationFigure {
    PairId id;
    int number = 0;  // the pair's place in the list, as the report names it
    std::string route;
    double aloneMbps = 0.0;
    double togetherMbps = 0.0;
};

// Pairs whose figures fell together while their sum met the ceiling each reached alone.
struct SharedBottleneck {
    std::vector<int> pairs;  // numbers, ascending
    double ceilingMbps = 0.0;
};

// What an isolation run found: each pair's figures alone and together, and the groups of
// pairs that share a bottleneck.
struct IsolationResult {
    std::chrono::seconds phase{0};
    std::vector<IsolationFigure> pairs;
    std::vector<SharedBottleneck> shared;
};

// A pair dropped when together it keeps less than this share of what it made alone.
inline constexpr double kDropShare = 0.85;
// Alone figures this close (relative to the highest) are one ceiling, and a group's sum
// together may miss that ceiling by this much.
inline constexpr double kCeilingTolerance = 0.15;

// The groups of dropped pairs that share a bottleneck: pairs with about the same alone
// figure, whose together figures add up to about it. A cluster whose sum misses the
// ceiling is left out: the figures alone cannot tell which of its pairs share what.
std::vector<SharedBottleneck> FindSharedBottlenecks(const std::vector<IsolationFigure>& figures);

// "pairs 1, 3 and 5 share about 940 Mbit/s"
std::string DescribeBottleneck(const SharedBottleneck& bottleneck);
// A ceiling as people say it: to 10 Mbit/s from 100, whole below, one decimal below 10.
std::string AboutMbpsText(double mbps);

}  // namespace quarn::console
