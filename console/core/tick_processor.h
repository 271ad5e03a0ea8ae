#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/quality_accumulator.h"

namespace quarn::console {

// What one output line did to the run.
enum class LineOutcome {
    Logged,         // kept in the log only
    Failure,        // a "failed" line: the row is Error, the run must end not completed
    TotalDropped,   // the run's total report after samples were taken
    SampleTaken,    // the row's sample of the current tick; other rows still missing
    TickDiscarded,  // the tick was complete but belongs to the warm-up
    TickProcessed,  // the tick was complete and entered the statistics
};

// The list's texts of a row's current, average, maximum and minimum ("%.2f"), as a live
// run writes them; a restored run writes them the same way.
void FormatFigures(PairFigures& row, float current);

// The All row's loss: lost over sent datagrams of every pair, not a mean of percentages.
void SumLossIntoAll(PairTable& table);

// Turns the pairs' output lines into per-second samples, groups them into ticks across
// all active pairs and keeps the statistics, list texts, logs and chart up to date.
// Main thread only.
class TickProcessor {
  public:
    static constexpr int kWarmupTicks = 2;

    TickProcessor(ConsoleData& data, ConsoleView& view);

    // Run start: ticks and warm-up counters to 0.
    void BeginRun(std::chrono::seconds duration, bool udp);
    // One line of `row` (a pair row; others are ignored), without its LF.
    LineOutcome HandleLine(int row, std::string_view line);

    int Ticks() const { return data_.ticks; }
    int WarmupTicks() const { return warmupTicks_; }
    std::chrono::seconds Duration() const { return duration_; }
    bool DurationReached() const { return data_.ticks >= duration_.count(); }

  private:
    LineOutcome TakeSample(int row, float value);
    bool TickComplete(int tick) const;
    void ProcessTick(int tick);
    void UpdatePairFigures(PairFigures& pair, int tick, bool firstTick);
    void UpdateAllFigures(bool firstTick);
    void FeedQuality(int row, std::string_view line);

    ConsoleData& data_;
    ConsoleView& view_;
    std::chrono::seconds duration_{0};
    bool udp_ = false;
    int warmupTicks_ = 0;
    // Per row: the log line of the sample waiting for its tick.
    std::vector<std::size_t> sampleLines_;
    // Per row: UDP loss and jitter of the run.
    std::vector<QualityAccumulator> quality_;
};

}  // namespace quarn::console
