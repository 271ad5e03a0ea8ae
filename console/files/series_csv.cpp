#include "console/files/series_csv.h"

#include <algorithm>
#include <cstddef>

#include "console/files/tick_csv.h"

namespace quarn::console {

int SecondsPerChartSample(const ChartModel& chart) {
    const int runLength = chart.RunLength();
    const int bin = runLength / ChartModel::kVisibleSamples;
    if (runLength <= ChartModel::kVisibleSamples || bin < 2) {
        return 1;
    }
    std::size_t longest = 0;
    for (const ChartSeries& series : chart.Series()) {
        longest = std::max(longest, series.size());
    }
    // Longer series than the averaged run can hold were never averaged.
    return longest <= static_cast<std::size_t>(runLength / bin) ? bin : 1;
}

bool WriteSeriesCsv(const std::string& path, const PairTable& table, const ChartModel& chart) {
    // Each sample goes through the headless writer, so both files share one layout.
    PairTable sample;
    for (const PairRecord& record : table.Pairs()) {
        PairRecord pair;
        pair.config.active = record.config.active;
        sample.AppendPair(std::move(pair));
    }
    TickCsv csv(/*withQuality=*/false);
    if (!csv.Open(path, sample)) {
        return false;
    }
    const std::vector<ChartSeries>& series = chart.Series();
    std::size_t samples = 0;
    for (const ChartSeries& curve : series) {
        samples = std::max(samples, curve.size());
    }
    const auto valueAt = [&](int row, std::size_t i, float& value) {
        if (row >= static_cast<int>(series.size())) {
            return false;
        }
        const ChartSeries& curve = series[static_cast<std::size_t>(row)];
        if (i >= curve.size() || curve[i].value < 0.0f) {
            return false;
        }
        value = curve[i].value;
        return true;
    };
    const int secondsPerSample = SecondsPerChartSample(chart);
    for (std::size_t i = 0; i < samples; ++i) {
        for (int row = 1; row < sample.Size(); ++row) {
            float value = 0.0f;
            const bool known = table[row].config.active && valueAt(row, i, value);
            sample[row].config.active = known;
            sample[row].figures.current = value;
        }
        float total = 0.0f;
        valueAt(0, i, total);
        sample.All().figures.sum = total;
        csv.WriteTick(static_cast<int>(i + 1) * secondsPerSample, sample);
    }
    csv.Close();
    return csv.Good();
}

}  // namespace quarn::console
