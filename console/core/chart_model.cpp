#include "console/core/chart_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "console/core/pair_table.h"

namespace quarn::console {

namespace {

constexpr int kBandCount = 10;

// Below 100 the scale is 100; above, the next multiple of 500 (a multiple stays).
float SnapScaleMaximum(float value) {
    if (!(value >= 100.0f)) {
        return 100.0f;
    }
    const double whole = std::floor(static_cast<double>(value));
    return static_cast<float>(std::ceil(whole / 500.0) * 500.0);
}

float LargestFrom(const ChartSeries& series, std::size_t start) {
    float largest = 0.0f;
    for (std::size_t i = start; i < series.size(); ++i) {
        largest = std::max(largest, series[i].value);
    }
    return largest;
}

// Each new point is the mean of `bin` consecutive values; a partial last group is dropped.
ChartSeries Compress(const ChartSeries& series, std::size_t bin) {
    ChartSeries compressed;
    compressed.reserve(series.size() / bin);
    for (std::size_t start = 0; start + bin <= series.size(); start += bin) {
        double sum = 0.0;
        for (std::size_t i = start; i < start + bin; ++i) {
            sum += series[i].value;
        }
        ChartPoint point;
        point.value = static_cast<float>(sum / static_cast<double>(bin));
        compressed.push_back(point);
    }
    return compressed;
}

// A quality bin is the mean of its answered seconds; a bin without any stays missing, as
// a gap is not a zero.
ChartSeries CompressQuality(const ChartSeries& series, std::size_t bin) {
    ChartSeries compressed;
    compressed.reserve(series.size() / bin);
    for (std::size_t start = 0; start + bin <= series.size(); start += bin) {
        double sum = 0.0;
        int counted = 0;
        for (std::size_t i = start; i < start + bin; ++i) {
            if (series[i].value >= 0.0f) {
                sum += series[i].value;
                ++counted;
            }
        }
        ChartPoint point;
        point.value = counted > 0 ? static_cast<float>(sum / counted) : -1.0f;
        compressed.push_back(point);
    }
    return compressed;
}

// 10, 20, 50, 100, ...: the smallest at or above the value, so every band is a whole number.
float QualityScaleMaximum(float largest, bool percent) {
    float top = 10.0f;
    for (int step = 0; top < largest; ++step) {
        top *= step % 3 == 1 ? 2.5f : 2.0f;
    }
    return percent ? std::min(top, 100.0f) : top;
}

}  // namespace

ChartScaleSource ChartScaleSource::From(const PairTable& table) {
    ChartScaleSource source;
    source.totalVisible = table.All().config.showTotal;
    source.allMax = table.All().figures.max;
    source.peakSingle = table.All().figures.peakSingle;
    return source;
}

ChartModel::ChartModel() {
    RebuildScale();
}

void ChartModel::Reset() {
    bands_.clear();
    series_.clear();
    latency_.clear();
    loss_.clear();
    firstVisibleSample_ = 0;
    pairCount_ = 0;
    tickStep_ = 5;
    runLength_ = -1;
    scaleMaximum_ = 1000.0f;
    RebuildScale();
    Changed();
}

void ChartModel::BeginRun(int pairCount) {
    Reset();
    pairCount_ = std::max(pairCount, 0);
    series_.resize(static_cast<std::size_t>(pairCount_) + 1);
    ResizeQuality();
    windowAutoscale_ = true;
}

void ChartModel::ResizeQuality() {
    latency_.resize(series_.size());
    loss_.resize(series_.size());
}

void ChartModel::AppendQualityPoint(ChartMeasure measure, int series, std::optional<double> value) {
    std::vector<ChartSeries>& all = MutableSeriesOf(measure);
    if (measure == ChartMeasure::Throughput || series < 0 ||
        series >= static_cast<int>(all.size())) {
        return;
    }
    ChartSeries& points = all[static_cast<std::size_t>(series)];
    if (points.size() == points.capacity()) {
        points.reserve(points.capacity() + points.capacity() / 4 + 64);
    }
    // A figure that is not a number or below zero is no second to draw.
    const bool drawn = value && *value >= 0.0;
    points.push_back(ChartPoint{drawn ? static_cast<float>(*value) : -1.0f});
}

const std::vector<ChartSeries>& ChartModel::SeriesOf(ChartMeasure measure) const {
    switch (measure) {
        case ChartMeasure::Latency:
            return latency_;
        case ChartMeasure::Loss:
            return loss_;
        default:
            return series_;
    }
}

std::vector<ChartSeries>& ChartModel::MutableSeriesOf(ChartMeasure measure) {
    return const_cast<std::vector<ChartSeries>&>(std::as_const(*this).SeriesOf(measure));
}

std::vector<ScaleBand> ChartModel::BandsOf(ChartMeasure measure) const {
    if (measure == ChartMeasure::Throughput) {
        return bands_;
    }
    // While running only the sliding window's seconds count; a finished run shows all.
    const std::size_t start =
        windowAutoscale_ ? static_cast<std::size_t>(std::max(firstVisibleSample_ - 1, 0)) : 0;
    float largest = 0.0f;
    const std::vector<ChartSeries>& all = SeriesOf(measure);
    for (std::size_t k = 1; k < all.size(); ++k) {
        largest = std::max(largest, LargestFrom(all[k], start));
    }
    const float top = QualityScaleMaximum(largest, measure == ChartMeasure::Loss);
    std::vector<ScaleBand> bands;
    for (int i = 0; i < kBandCount; ++i) {
        bands.push_back(ScaleBand{top * static_cast<float>(i) / kBandCount,
                                  top * static_cast<float>(i + 1) / kBandCount});
    }
    return bands;
}

void ChartModel::AppendPoint(int series, float value) {
    if (series < 0 || series >= static_cast<int>(series_.size())) {
        return;
    }
    ChartSeries& points = series_[static_cast<std::size_t>(series)];
    if (points.size() == points.capacity()) {
        // Grow by a quarter rather than doubling: a days-long run has millions of points.
        points.reserve(points.capacity() + points.capacity() / 4 + 64);
    }
    ChartPoint point;
    point.value = value;
    points.push_back(point);
}

void ChartModel::ReserveSamples(int series, int samples) {
    if (series >= 0 && series < static_cast<int>(series_.size()) && samples > 0) {
        series_[static_cast<std::size_t>(series)].reserve(static_cast<std::size_t>(samples));
    }
}

void ChartModel::SampleAdded(bool scroll, const ChartScaleSource& source) {
    if (scroll) {
        ++firstVisibleSample_;
    }
    const float candidate = source.totalVisible ? source.allMax : source.peakSingle;
    if (candidate > 0.0f) {
        scaleMaximum_ = candidate;
    }
    Rescale(source);
}

void ChartModel::FinishRun(int secondsReceived, const ChartScaleSource& source) {
    windowAutoscale_ = false;
    if (secondsReceived <= 0) {
        return;
    }
    runLength_ = secondsReceived;
    firstVisibleSample_ = 0;
    if (secondsReceived > kVisibleSamples) {
        tickStep_ = secondsReceived / 12;
        const auto bin = static_cast<std::size_t>(secondsReceived / kVisibleSamples);
        if (bin >= 2) {
            for (ChartSeries& series : series_) {
                series = Compress(series, bin);
            }
            for (auto* quality : {&latency_, &loss_}) {
                for (ChartSeries& series : *quality) {
                    series = CompressQuality(series, bin);
                }
            }
        }
    } else {
        tickStep_ = secondsReceived > 12 ? secondsReceived / 12 : 1;
    }
    scaleMaximum_ = source.totalVisible ? source.allMax : source.peakSingle;
    Rescale(source);
}

void ChartModel::SetTotalVisible(bool visible, const ChartScaleSource& source) {
    ChartScaleSource shown = source;
    shown.totalVisible = visible;
    scaleMaximum_ = 1000.0f;
    const float candidate = visible ? source.allMax : source.peakSingle;
    if (candidate > 0.0f) {
        scaleMaximum_ = candidate;
    }
    Rescale(shown);
}

void ChartModel::SetReferencePeaks(float all, float pairs, const ChartScaleSource& source) {
    referenceAllPeak_ = std::isfinite(all) ? all : 0.0f;
    referencePairPeak_ = std::isfinite(pairs) ? pairs : 0.0f;
    SetTotalVisible(source.totalVisible, source);
}

bool ChartModel::SetPairCount(int n) {
    if (n == pairCount_) {
        return false;
    }
    pairCount_ = n;
    Changed();
    return true;
}

void ChartModel::AppendSeries(ChartSeries series) {
    series_.push_back(std::move(series));
    // A file keeps no quality seconds: its pairs get empty quality curves, whatever the
    // previous run left at that place.
    ResizeQuality();
    latency_.back().clear();
    loss_.back().clear();
}

void ChartModel::RemoveSeries(int index) {
    if (index < 0 || index >= static_cast<int>(series_.size())) {
        return;
    }
    series_.erase(series_.begin() + index);
    for (auto* quality : {&latency_, &loss_}) {
        if (index < static_cast<int>(quality->size())) {
            quality->erase(quality->begin() + index);
        }
    }
    Changed();
}

void ChartModel::ClearSeries(int index) {
    if (index < 0 || index >= static_cast<int>(series_.size())) {
        return;
    }
    series_[static_cast<std::size_t>(index)].clear();
    Changed();
}

void ChartModel::Rescale(const ChartScaleSource& source) {
    if (windowAutoscale_ && firstVisibleSample_ > 0) {
        const auto start = static_cast<std::size_t>(firstVisibleSample_ - 1);
        float windowMaximum = 0.0f;
        if (source.totalVisible) {
            if (!series_.empty()) {
                windowMaximum = LargestFrom(series_[0], start);
            }
        } else {
            for (std::size_t k = 1; k < series_.size(); ++k) {
                windowMaximum = std::max(windowMaximum, LargestFrom(series_[k], start));
            }
        }
        if (windowMaximum > 0.0f) {
            scaleMaximum_ = windowMaximum;
        }
    }
    const float reference = source.totalVisible ? referenceAllPeak_ : referencePairPeak_;
    scaleMaximum_ = SnapScaleMaximum(std::max(scaleMaximum_, reference));
    RebuildScale();
    Changed();
}

void ChartModel::RebuildScale() {
    bands_.clear();
    const float step = std::floor(scaleMaximum_ / static_cast<float>(kBandCount));
    for (int i = 0; i < kBandCount; ++i) {
        ScaleBand band;
        band.lowValue = static_cast<float>(i) * step;
        band.highValue = static_cast<float>(i + 1) * step;
        bands_.push_back(band);
    }
}

void ChartModel::SetRunState(int firstVisibleSample, int runLength, int tickStep) {
    firstVisibleSample_ = firstVisibleSample;
    runLength_ = runLength;
    tickStep_ = tickStep;
}

int ChartModel::SecondsPerPoint() const {
    return ShowsWholeRun() ? runLength_ / kVisibleSamples : 1;
}

void ChartModel::Changed() {
    if (view_) {
        view_->ChartChanged();
    }
}

}  // namespace quarn::console
