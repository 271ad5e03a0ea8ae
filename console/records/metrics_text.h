#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/console_data.h"

namespace quarn::console::records {

// One pair's figures for the metrics page.
struct PairMetrics {
    long long pair = 0;
    std::string endpoint1;
    std::string endpoint2;
    std::string names;  // "name1 -> name2", addresses where no name is known
    double mbitPerS = 0.0;
    long long secondsCounted = 0;
    long long linesDropped = 0;
    std::optional<double> lossPercent;
    std::optional<double> jitterMs;
    std::optional<double> rttMs;
    std::string verdict;  // "pass", "fail", "unchecked"; empty until the run is judged
    // Labelled only when set: a pair without options keeps the series it always had.
    TrafficOptions traffic;
};

struct RunMetrics {
    std::string state = "idle";  // "idle" or "measuring"
    long long secondsProcessed = 0;
    double totalMbitPerS = 0.0;
    std::vector<PairMetrics> pairs;
};

inline constexpr const char* kRunStates[] = {"idle", "measuring"};
inline constexpr const char* kVerdicts[] = {"pass", "fail", "unchecked"};

// The page in the Prometheus text exposition format (version 0.0.4).
std::string RenderMetrics(const RunMetrics& metrics);

// Follows the core's pair table from second to second. Lines dropped are a pair's
// throughput reports that did not enter a counted second (warm-up, a report replaced by a
// later one of the same second, the run's total); counting them looks only at lines that
// arrived since the last call. Main thread only.
class MetricsCollector {
  public:
    // A run starts: the counters begin again.
    void BeginRun(const ConsoleData& data);
    RunMetrics Collect(const ConsoleData& data, bool measuring);

  private:
    void CountDropped(const PairLog& log, const PairRecord& pair, std::size_t row);

    bool udp_ = false;
    std::vector<std::size_t> scanned_;  // per row: log lines already looked at
    std::vector<long long> dropped_;
};

}  // namespace quarn::console::records
