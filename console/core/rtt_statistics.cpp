#include "console/core/rtt_statistics.h"

#include <algorithm>
#include <cmath>

namespace quarn::console {

std::optional<double> Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return std::nullopt;
    }
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(std::clamp(p, 0.0, 100.0) / 100.0 * values.size());
    const auto index = static_cast<std::size_t>(std::max(rank, 1.0)) - 1;
    return values[std::min(index, values.size() - 1)];
}

std::optional<double> Median(std::vector<double> values) {
    if (values.empty()) {
        return std::nullopt;
    }
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

void ApplyLatestRtt(const std::optional<RttRecord>& record, PairQuality& quality) {
    if (!record) {
        quality.rttIdleMs.reset();
        quality.lastRttMs.reset();
        quality.probesLost = 0;
        return;
    }
    quality.rttIdleMs = record->idleMs.empty() ? std::nullopt
                                               : std::optional<double>(*std::min_element(
                                                     record->idleMs.begin(), record->idleMs.end()));
    quality.lastRttMs = record->lastMs;
    quality.probesLost = record->idleLost + record->loadedLost;
}

void ApplyRtt(const std::optional<RttRecord>& record, PairQuality& quality) {
    ApplyLatestRtt(record, quality);
    quality.rttLoadedMedianMs = record ? Median(record->loadedMs) : std::nullopt;
    quality.rttLoadedP95Ms = record ? Percentile(record->loadedMs, 95.0) : std::nullopt;
}

}  // namespace quarn::console
