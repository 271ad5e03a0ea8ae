#pragma once

#include <optional>
#include <vector>

#include "console/core/console_view.h"

namespace quarn::console {

class PairTable;

// One second of one curve; a negative value marks a missing second.
struct ChartPoint {
    float value = 0.0f;
};
using ChartSeries = std::vector<ChartPoint>;

// One of the ten bands of the value scale; band 0 is at the bottom.
struct ScaleBand {
    float lowValue = 0.0f;
    float highValue = 0.0f;
};

// What the chart draws: the throughput, or the per-second round trip (ms) or loss (%).
enum class ChartMeasure { Throughput, Latency, Loss };

// What the scale follows, read from the pair table's All row.
struct ChartScaleSource {
    bool totalVisible = false;  // All row's showTotal
    float allMax = 0.0f;        // All row's max
    float peakSingle = 0.0f;    // All row's peakSingle
    static ChartScaleSource From(const PairTable& table);
};

// The chart's data and arithmetic: series 0 is the "All" curve, series k is pair k. Beside
// the throughput it keeps each pair's per-second round trip and loss (series 0 of those
// stays empty), which share the run's time axis, compression and deletes. It knows values
// and seconds only; where they land in pixels is the widget's.
class ChartModel {
  public:
    static constexpr int kVisibleSamples = 60;

    ChartModel();

    void Reset();
    void BeginRun(int pairCount);
    void AppendPoint(int series, float value);
    // A second of a quality curve; no figure is a missing second.
    void AppendQualityPoint(ChartMeasure measure, int series, std::optional<double> value);
    // Room for a run's points in advance, so a long run never holds doubled capacity.
    void ReserveSamples(int series, int samples);
    void SampleAdded(bool scroll, const ChartScaleSource& source);
    void FinishRun(int secondsReceived, const ChartScaleSource& source);
    void SetTotalVisible(bool visible, const ChartScaleSource& source);
    // The peaks of a run drawn beside this one (a reference): of its All curve and of its
    // pairs. The scale holds the one that is shown, so its curve is not cut off at the
    // top; 0 for none. They stay through Reset and new runs.
    void SetReferencePeaks(float all, float pairs, const ChartScaleSource& source);
    bool SetPairCount(int n);  // true when it changed
    void AppendSeries(ChartSeries series);
    void RemoveSeries(int index);
    // Empties one curve (its points no longer describe its pair); the others stay.
    void ClearSeries(int index);
    void Rescale(const ChartScaleSource& source);
    void RebuildScale();
    // Sets the run state directly, as after opening a file.
    void SetRunState(int firstVisibleSample, int runLength, int tickStep);
    void SetLoading(bool loading) { loading_ = loading; }

    // A finished run longer than the visible window is drawn whole, each stored point at
    // the end of the seconds it stands for, so points and time labels share one axis.
    bool ShowsWholeRun() const { return runLength_ > kVisibleSamples; }
    // Seconds that one stored point stands for: the averaging bin of a long finished run.
    int SecondsPerPoint() const;

    const std::vector<ChartSeries>& Series() const { return series_; }
    const std::vector<ChartSeries>& SeriesOf(ChartMeasure measure) const;
    // The value scale of a quality measure: ten whole-numbered bands up to 10, 20 or 50
    // times a power of ten, over the largest value in view (loss never beyond 100 %).
    // Throughput answers its own bands.
    std::vector<ScaleBand> BandsOf(ChartMeasure measure) const;
    std::vector<ChartSeries>& MutableSeries() { return series_; }
    const std::vector<ScaleBand>& Bands() const { return bands_; }
    float ScaleMaximum() const { return scaleMaximum_; }
    void SetScaleMaximum(float value) { scaleMaximum_ = value; }
    int PairCount() const { return pairCount_; }
    int FirstVisibleSample() const { return firstVisibleSample_; }
    int TickStep() const { return tickStep_; }
    int RunLength() const { return runLength_; }
    bool WindowAutoscale() const { return windowAutoscale_; }
    bool Loading() const { return loading_; }

    // Told whenever what is shown changes; nullptr tells nobody.
    void SetView(ConsoleView* view) { view_ = view; }

  private:
    void Changed();

    ConsoleView* view_ = nullptr;

    std::vector<ChartSeries>& MutableSeriesOf(ChartMeasure measure);
    void ResizeQuality();

    std::vector<ChartSeries> series_;
    std::vector<ChartSeries> latency_;
    std::vector<ChartSeries> loss_;
    std::vector<ScaleBand> bands_;
    float scaleMaximum_ = 1000.0f;
    float referenceAllPeak_ = 0.0f;
    float referencePairPeak_ = 0.0f;
    int pairCount_ = 0;
    int firstVisibleSample_ = 0;
    bool windowAutoscale_ = false;
    int tickStep_ = 5;
    int runLength_ = -1;
    bool loading_ = false;
};

}  // namespace quarn::console
