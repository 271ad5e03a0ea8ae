#include "console/records/run_restore.h"

#include <charconv>
#include <chrono>

#include "console/core/measurement_run.h"
#include "console/core/pair_state.h"

namespace quarn::console::records {
namespace {

void FormatFigure(std::string& text, float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 2);
    text.assign(buffer, result.ec == std::errc() ? result.ptr : buffer);
}

void FormatFigures(PairRecord& row, float current) {
    FormatFigure(row.currentText, current);
    FormatFigure(row.averageText, row.average);
    FormatFigure(row.maxText, row.max);
    FormatFigure(row.minText, row.min);
    row.countText = std::to_string(row.count);
}

void AddPairs(const RunHead& head, ConsoleData& data) {
    for (const PairHead& pair : head.pairs) {
        PairRecord record;
        record.endpoint1 = pair.endpoint1;
        record.endpoint2 = pair.endpoint2;
        record.parallel = pair.streams;
        record.active = pair.active;
        record.showAddress = pair.showAddress;
        record.state = pair.active ? PairState::Ready : PairState::Inactive;
        record.statusText = std::string(StatusText(record.state));
        if (!pair.endpoint1Name.empty())
            data.nameLookup[pair.endpoint1] = pair.endpoint1Name;
        if (!pair.endpoint2Name.empty())
            data.nameLookup[pair.endpoint2] = pair.endpoint2Name;
        if (data.table.AppendPair(std::move(record)) < 0)
            break;
    }
}

// The statistics of one processed second, in the order and float arithmetic the live run
// uses, so that a restored run shows the very figures the live one showed.
void ReplaySecond(const JournalContent& journal, ConsoleData& data, int tick) {
    PairRecord& all = data.table.All();
    const bool first = tick == 1;
    all.sum = 0.0f;
    all.average = 0.0f;
    for (int row = 1; row < data.table.Size(); ++row) {
        PairRecord& pair = data.table[row];
        if (!pair.active)
            continue;
        const auto found =
            journal.values.find(journal.head.pairs[static_cast<std::size_t>(row - 1)].pair);
        pair.current = found == journal.values.end()
                           ? 0.0f
                           : found->second[static_cast<std::size_t>(tick - 1)];
        pair.count = tick;
        if (first)
            pair.min = pair.current;
        if (pair.current > all.peakSingle)
            all.peakSingle = pair.current;
        pair.sum += pair.current;
        pair.average = pair.sum / static_cast<float>(tick);
        pair.max = pair.max < pair.current ? pair.current : pair.max;
        pair.min = pair.min > pair.current ? pair.current : pair.min;
        all.sum += pair.current;
        all.average += pair.average;
        data.chart.AppendPoint(row, pair.current);
        ++all.count;
    }
    if (first)
        all.min = all.sum;
    all.max = all.max < all.sum ? all.sum : all.max;
    all.min = all.min > all.sum ? all.sum : all.min;
    data.chart.AppendPoint(0, all.sum);
}

PairState FinalState(const JournalContent& journal, long long pairId) {
    if (!journal.Finished())
        return PairState::Stopped;
    const auto found = journal.pairSummaries.find(pairId);
    if (found == journal.pairSummaries.end())
        return PairState::Stopped;
    if (found->second.state == "Error")
        return PairState::Error;
    return found->second.state == "Done" ? PairState::Done : PairState::Stopped;
}

std::string MeasuredAt(const JournalContent& journal) {
    const std::string& utc = journal.Finished() ? journal.summary->time : journal.lastTime;
    const auto when = ParseUtc(utc.empty() ? journal.head.started : utc);
    return when ? FormatMeasuredAt(*when) : std::string();
}

}  // namespace

void RestoreRun(const JournalContent& journal, ConsoleData& data) {
    data.ResetToNew();
    data.settings.durationText = journal.head.durationText;
    data.settings.udp = journal.head.udp ? 1 : 0;
    data.settings.windowSizeText = journal.head.windowText;
    data.settings.throughputText = journal.head.throughputText;
    AddPairs(journal.head, data);
    const int pairs = data.table.PairCount();
    data.chart.SetPairCount(pairs);
    data.chart.BeginRun(pairs);
    PairTable::ResetForRun(data.table.All());
    data.table.All().showTotal = 1;
    for (int tick = 1; tick <= journal.seconds; ++tick)
        ReplaySecond(journal, data, tick);
    for (int row = 0; row < data.table.Size(); ++row) {
        PairRecord& pair = data.table[row];
        if (row > 0 && pair.active) {
            pair.state =
                FinalState(journal, journal.head.pairs[static_cast<std::size_t>(row - 1)].pair);
            pair.statusText = std::string(StatusText(pair.state));
        }
        if (row == 0 || pair.active)
            FormatFigures(pair, row == 0 ? pair.sum : pair.current);
    }
    data.ticks = journal.seconds;
    data.chart.SetTotalVisible(true, ChartScaleSource::From(data.table));
    data.chart.FinishRun(journal.seconds, ChartScaleSource::From(data.table));
    data.measuredAt = MeasuredAt(journal);
}

}  // namespace quarn::console::records
