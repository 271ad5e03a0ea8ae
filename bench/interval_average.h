#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarn::bench {

// Collects an iperf server's per-second reports ("a-b sec ... X Mbits/sec") and averages
// them as a Quarn run does: the first two seconds are warm-up, the next `seconds` count.
// Read independently of the Console's parser, so the two can be held against each other.
class IntervalAverage {
  public:
    // False for lines that are no one-second report (headers, the run's total).
    bool Add(const std::string& line);
    int Intervals() const { return static_cast<int>(rates_.size()); }
    // nullopt until warm-up + seconds intervals were added.
    std::optional<double> Average(int seconds) const;

    static constexpr int kWarmupSeconds = 2;

  private:
    std::vector<double> rates_;
};

}  // namespace quarn::bench
