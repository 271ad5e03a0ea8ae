#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "console/core/chart_model.h"
#include "console/core/console_data.h"

namespace quarn::console::records {

// The largest throughput of a reference's curves: its All curve, and its pairs that meet
// a current pair; 0 where there is none.
struct ThroughputPeaks {
    float all = 0.0f;
    float pairs = 0.0f;
};

// The run the current one is set against: a saved file or a run of the history, held
// while runs come and go until cleared. Its pairs are matched with the current table's
// by their two addresses, as the headless comparison does. Window thread only.
class ReferenceModel {
  public:
    // Takes a loaded run; `label` says which it is (a file name, a run's date).
    void Set(std::unique_ptr<ConsoleData> run, std::string label);
    // False when there was none.
    bool Clear();
    bool Active() const { return run_ != nullptr; }
    const std::string& Label() const { return label_; }
    // The reference run; nullptr when there is none.
    const ConsoleData* Run() const { return run_.get(); }

    // The reference's row set against row `row` of `current` (0, the All row, against its
    // All row); nullopt without a reference or a pair of the same addresses.
    std::optional<int> RowFor(const PairTable& current, int row) const;
    // The same for a pair known by its id.
    std::optional<int> RowFor(const PairTable& current, PairId id) const;

    // The reference's curve of `measure` for current row `row`, laid on the current
    // chart's points (one per second while running, the finished run's averaging bins
    // otherwise), so both share the time axis; empty when there is nothing to draw.
    ChartSeries CurveFor(const PairTable& current, const ChartModel& chart, ChartMeasure measure,
                         int row) const;

    // What the current chart's throughput scale must hold to show the reference whole.
    ThroughputPeaks PeaksFor(const PairTable& current) const;

  private:
    std::unique_ptr<ConsoleData> run_;
    std::string label_;
};

// Lays `points`, each the mean of `fromBin` seconds, onto `count` points of `toBin`
// seconds each: a target point is the overlap-weighted mean of what it covers. Missing
// points (negative) are left out; a target point with nothing known stays missing, and
// one that reaches past the end of `points` is not made. Target points before `first` are
// left missing without being computed: a sliding chart draws only its window.
ChartSeries Rebin(const ChartSeries& points, int fromBin, int toBin, int count, int first = 0);

}  // namespace quarn::console::records
