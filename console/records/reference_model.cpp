#include "console/records/reference_model.h"

#include <algorithm>
#include <utility>

#include "console/records/run_compare.h"

namespace quarn::console::records {

void ReferenceModel::Set(std::unique_ptr<ConsoleData> run, std::string label) {
    run_ = std::move(run);
    label_ = std::move(label);
}

bool ReferenceModel::Clear() {
    if (!run_)
        return false;
    run_.reset();
    label_.clear();
    return true;
}

std::optional<int> ReferenceModel::RowFor(const PairTable& current, int row) const {
    if (!run_ || row < 0 || row >= current.Size())
        return std::nullopt;
    // Matching walks the whole table: the n-th pair of some addresses meets the n-th.
    const std::vector<PairComparison> rows = ComparePairs(current, run_->table);
    const int found = rows[static_cast<std::size_t>(row)].referenceRow;
    return found >= 0 ? std::optional<int>(found) : std::nullopt;
}

std::optional<int> ReferenceModel::RowFor(const PairTable& current, PairId id) const {
    const int row = current.RowOf(id);
    return row > 0 ? RowFor(current, row) : std::nullopt;
}

ChartSeries ReferenceModel::CurveFor(const PairTable& current, const ChartModel& chart,
                                     ChartMeasure measure, int row) const {
    const std::optional<int> found = RowFor(current, row);
    if (!found)
        return {};
    const std::vector<ChartSeries>& all = run_->chart.SeriesOf(measure);
    if (*found >= static_cast<int>(all.size()))
        return {};
    const int toBin = std::max(chart.SecondsPerPoint(), 1);
    // A finished run spans its length; a running (or empty) chart, its sliding window.
    int first = std::max(chart.FirstVisibleSample(), 0);
    int count = first + ChartModel::kVisibleSamples;
    if (chart.RunLength() > 0) {
        first = 0;
        count = chart.RunLength() / toBin;
    }
    return Rebin(all[static_cast<std::size_t>(*found)], std::max(run_->chart.SecondsPerPoint(), 1),
                 toBin, count, first);
}

namespace {

float Peak(const ChartSeries& points) {
    float peak = 0.0f;
    for (const ChartPoint& point : points)
        peak = std::max(peak, point.value);
    return peak;
}

}  // namespace

ThroughputPeaks ReferenceModel::PeaksFor(const PairTable& current) const {
    ThroughputPeaks peaks;
    if (!run_)
        return peaks;
    const std::vector<ChartSeries>& series = run_->chart.Series();
    if (!series.empty())
        peaks.all = Peak(series.front());
    const std::vector<PairComparison> rows = ComparePairs(current, run_->table);
    for (std::size_t row = 1; row < rows.size(); ++row) {
        const int found = rows[row].referenceRow;
        if (found > 0 && found < static_cast<int>(series.size()))
            peaks.pairs = std::max(peaks.pairs, Peak(series[static_cast<std::size_t>(found)]));
    }
    return peaks;
}

ChartSeries Rebin(const ChartSeries& points, int fromBin, int toBin, int count, int first) {
    ChartSeries out;
    if (fromBin <= 0 || toBin <= 0 || count <= 0)
        return out;
    const long long known = static_cast<long long>(points.size()) * fromBin;
    for (long long i = 0; i < count && (i + 1) * toBin <= known; ++i) {
        if (i < first) {
            out.push_back(ChartPoint{-1.0f});
            continue;
        }
        const long long begin = i * toBin;
        const long long end = begin + toBin;
        double sum = 0.0;
        long long weight = 0;
        for (long long j = begin / fromBin; j * fromBin < end; ++j) {
            const float value = points[static_cast<std::size_t>(j)].value;
            if (value < 0.0f)
                continue;
            const long long overlap =
                std::min(end, (j + 1) * fromBin) - std::max(begin, j * fromBin);
            sum += static_cast<double>(value) * static_cast<double>(overlap);
            weight += overlap;
        }
        out.push_back(
            ChartPoint{weight > 0 ? static_cast<float>(sum / static_cast<double>(weight)) : -1.0f});
    }
    return out;
}

}  // namespace quarn::console::records
