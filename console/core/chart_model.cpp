#include "console/core/chart_model.h"

#include <algorithm>
#include <cmath>

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
    windowAutoscale_ = true;
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
}

void ChartModel::RemoveSeries(int index) {
    if (index < 0 || index >= static_cast<int>(series_.size())) {
        return;
    }
    series_.erase(series_.begin() + index);
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
    scaleMaximum_ = SnapScaleMaximum(scaleMaximum_);
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
    if (onChanged) {
        onChanged();
    }
}

}  // namespace quarn::console
