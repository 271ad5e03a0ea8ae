#include "console/files/opened_run_state.h"

#include <algorithm>

namespace quarn::console {

bool ApplyOpenedRunState(ConsoleData& data) {
    constexpr int kDefaultRunLength = ChartModel::kVisibleSamples;
    constexpr int kDefaultTickStep = 5;
    constexpr int kLabelCount = 12;
    // A negative count can only come from a damaged file; it is taken as no run at all.
    const int ticks = std::max(0, data.ticks);
    int runLength = kDefaultRunLength;
    int tickStep = kDefaultTickStep;
    if (ticks > kDefaultRunLength) {
        runLength = ticks;
        tickStep = ticks / kLabelCount;
    } else if (ticks != 0 && ticks != kDefaultRunLength) {
        runLength = ticks;
        tickStep = ticks > kLabelCount ? ticks / kLabelCount : 1;
    }
    data.chart.SetRunState(0, runLength, tickStep);
    // A file holds one protocol for the whole table: the one its figures were measured with.
    for (auto& pair : data.table.Pairs()) {
        pair.run.protocol = data.settings.protocol;
    }
    // A measured run saved with pass lines is shown as it was judged.
    data.judgement.reset();
    if (ticks > 0 && AnyPassLine(data))
        data.judgement = JudgeRun(data, BaselineAverages{});
    return data.chart.SetPairCount(data.table.PairCount());
}

void ApplyOpenedFile(ConsoleData& data) {
    ApplyOpenedRunState(data);
    data.chart.SetTotalVisible(data.table.All().config.showTotal,
                               ChartScaleSource::From(data.table));
}

}  // namespace quarn::console
