#pragma once

#include <string>

#include "console/core/chart_model.h"
#include "console/core/pair_table.h"

namespace quarn::console {

// Seconds that one kept chart sample stands for: 1, or the bin of a long run that the
// chart has averaged at its end.
int SecondsPerChartSample(const ChartModel& chart);

// Writes the chart's curves in the per-second CSV layout of the headless run: a header,
// then one row per kept sample with its last second as the tick. A pair without a value
// for that sample (inactive, missing second) gets an empty field. Returns false when the
// file cannot be written.
bool WriteSeriesCsv(const std::string& path, const PairTable& table, const ChartModel& chart);

}  // namespace quarn::console
