#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "console/core/pair_quality.h"

namespace quarn::console {

// One second of a UDP pair, summed over its streams.
struct QualitySecond {
    double start = 0.0;  // the interval's start, seconds into iperf's run
    long long lost = 0;
    long long total = 0;
    std::optional<double> jitterMs;  // the worst stream's
};

// What one line did to the accumulator.
enum class QualityLine { Ignored, Counted, Empty, Impossible };

// Turns a UDP pair's receiving-side report lines into per-second loss and jitter and the
// run's figures. Streams are summed from their own lines: the [SUM] lines are skipped, as
// some versions print them without loss, others without jitter or with a lost count that
// disagrees with their streams. Each stream's total at the end (its second interval that
// starts at zero) is skipped too. Each line costs the same however long the run has been,
// and at most kMaxStreams stream labels are told apart (a pair has 16 streams).
class QualityAccumulator {
  public:
    static constexpr std::size_t kMaxStreams = 64;

    QualityLine Feed(std::string_view line);

    // Figures of the run so far, the open second included.
    void Publish(PairQuality& quality) const;

    const std::vector<QualitySecond>& ClosedSeconds() const { return seconds_; }
    long long Lost() const { return lost_; }
    long long Total() const { return total_; }

  private:
    void Close();
    void TakeJitter(const QualitySecond& second, double& sum, int& count,
                    std::optional<double>& worst) const;

    std::vector<QualitySecond> seconds_;
    std::optional<QualitySecond> open_;
    std::unordered_set<std::string> streamsSeen_;
    long long lost_ = 0;
    long long total_ = 0;
    int impossible_ = 0;
    // Jitter of the closed seconds, summed as they close.
    double closedJitterSum_ = 0.0;
    int closedJitterCount_ = 0;
    std::optional<double> closedJitterMax_;
};

}  // namespace quarn::console
