#pragma once

#include <limits>
#include <optional>

namespace quarn::console {

// A pair's quality figures beside its throughput. Absent values are "no figure" (never
// answered, not UDP, nothing counted yet), which is not the same as zero.
struct PairQuality {
    // UDP, over the run: loss is lost/total of all counted seconds, not a mean of percents.
    long long lostDatagrams = 0;
    long long totalDatagrams = 0;
    std::optional<double> lossPercent;
    std::optional<double> jitterAverageMs;
    std::optional<double> jitterMaxMs;
    // The latest counted second.
    std::optional<double> lastLossPercent;
    std::optional<double> lastJitterMs;
    // Report lines that held no possible measurement (logged, not counted).
    int impossibleReports = 0;

    // Round trip to End Point 2: before the load, and during it.
    std::optional<double> rttIdleMs;
    std::optional<double> rttLoadedMedianMs;
    std::optional<double> rttLoadedP95Ms;
    std::optional<double> lastRttMs;
    int probesLost = 0;

    // What the queues add under load.
    std::optional<double> RttIncreaseMs() const {
        if (!rttIdleMs || !rttLoadedMedianMs) {
            return std::nullopt;
        }
        return *rttLoadedMedianMs - *rttIdleMs;
    }
};

// count + more for counts (never negative) from report lines, held at the largest value
// instead of overflowing: a hostile peer may print any count.
inline long long AddCount(long long count, long long more) {
    constexpr long long kMax = std::numeric_limits<long long>::max();
    return more > kMax - count ? kMax : count + more;
}

// Lost/total as a percentage; nothing when no datagram was counted.
inline std::optional<double> LossPercentOf(long long lost, long long total) {
    if (total <= 0) {
        return std::nullopt;
    }
    return 100.0 * static_cast<double>(lost) / static_cast<double>(total);
}

}  // namespace quarn::console
