#pragma once

#include <optional>
#include <vector>

#include "console/core/pair_quality.h"

namespace quarn::console {

// The round trips measured to one End Point 2 in a run, in milliseconds.
struct RttRecord {
    std::vector<double> idleMs;    // before the load
    std::vector<double> loadedMs;  // during it
    int idleLost = 0;              // probes without a reply in time
    int loadedLost = 0;
    std::optional<double> lastMs;  // the latest answered probe
};

// Nearest-rank percentile (p in 0..100) of the values; nothing when there are none.
std::optional<double> Percentile(std::vector<double> values, double p);
// The middle value, or the mean of the two middle ones.
std::optional<double> Median(std::vector<double> values);

// A pair's RTT figures from its End Point 2's record: the idle RTT is the fastest idle
// reply (a queue only ever adds), loaded ones are the median and 95th percentile.
// Without a record (never answered, no address to probe) every figure is absent.
void ApplyRtt(const std::optional<RttRecord>& record, PairQuality& quality);
// Only the idle RTT, the latest round trip and the lost probes (the loaded samples of the
// record may be left out): what changes every second.
void ApplyLatestRtt(const std::optional<RttRecord>& record, PairQuality& quality);

}  // namespace quarn::console
