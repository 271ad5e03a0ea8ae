#include "console/records/run_restore.h"

#include <chrono>

#include "console/core/local_time.h"
#include "console/core/pair_state.h"
#include "console/core/tick_processor.h"

namespace quarn::console::records {
namespace {

void AddPairs(const RunHead& head, ConsoleData& data) {
    for (const PairHead& pair : head.pairs) {
        PairRecord record;
        record.config.endpoint1 = pair.endpoint1;
        record.config.endpoint2 = pair.endpoint2;
        record.config.parallel = pair.streams;
        record.config.traffic = pair.traffic;
        record.config.active = pair.active;
        record.config.showAddress = pair.showAddress;
        record.config.passLines = pair.passLines;
        record.figures.state = pair.active ? PairState::Ready : PairState::Inactive;
        record.figures.statusText = std::string(StatusText(record.figures.state));
        if (!pair.endpoint1Name.empty())
            data.nameLookup[pair.endpoint1] = pair.endpoint1Name;
        if (!pair.endpoint2Name.empty())
            data.nameLookup[pair.endpoint2] = pair.endpoint2Name;
        // The links as the run knew them, so that it is judged again as it was.
        if (pair.endpoint1Link)
            data.links[pair.endpoint1] = *pair.endpoint1Link;
        if (pair.endpoint2Link)
            data.links[pair.endpoint2] = *pair.endpoint2Link;
        if (!data.table.AppendPair(std::move(record)).Valid())
            break;
    }
}

// The round trip and loss curves of one pair's second, missing where nothing was known.
void ReplayQuality(const JournalContent& journal, ConsoleData& data, int row, long long pairNumber,
                   int tick) {
    QualityFigures figures;
    const auto found = journal.quality.find(pairNumber);
    if (found != journal.quality.end() && tick <= static_cast<int>(found->second.size()))
        figures = found->second[static_cast<std::size_t>(tick - 1)];
    data.chart.AppendQualityPoint(ChartMeasure::Latency, row, figures.rttMs);
    // Loss belongs to UDP runs, as the live chart has it.
    data.chart.AppendQualityPoint(ChartMeasure::Loss, row,
                                  journal.head.udp ? figures.lossPercent : std::nullopt);
}

// The statistics of one processed second, in the order and float arithmetic the live run
// uses, so that a restored run shows the very figures the live one showed.
void ReplaySecond(const JournalContent& journal, ConsoleData& data, int tick) {
    PairRecord& all = data.table.All();
    const bool first = tick == 1;
    all.figures.sum = 0.0f;
    all.figures.average = 0.0f;
    for (int row = 1; row < data.table.Size(); ++row) {
        PairRecord& pair = data.table[row];
        if (!pair.config.active)
            continue;
        const long long pairNumber = journal.head.pairs[static_cast<std::size_t>(row - 1)].pair;
        const auto found = journal.values.find(pairNumber);
        pair.figures.current = found == journal.values.end()
                                   ? 0.0f
                                   : found->second[static_cast<std::size_t>(tick - 1)];
        pair.figures.count = tick;
        if (first)
            pair.figures.min = pair.figures.current;
        if (pair.figures.current > all.figures.peakSingle)
            all.figures.peakSingle = pair.figures.current;
        pair.figures.sum += pair.figures.current;
        pair.figures.average = pair.figures.sum / static_cast<float>(tick);
        pair.figures.max =
            pair.figures.max < pair.figures.current ? pair.figures.current : pair.figures.max;
        pair.figures.min =
            pair.figures.min > pair.figures.current ? pair.figures.current : pair.figures.min;
        all.figures.sum += pair.figures.current;
        all.figures.average += pair.figures.average;
        data.chart.AppendPoint(row, pair.figures.current);
        ReplayQuality(journal, data, row, pairNumber, tick);
        ++all.figures.count;
    }
    if (first)
        all.figures.min = all.figures.sum;
    all.figures.max = all.figures.max < all.figures.sum ? all.figures.sum : all.figures.max;
    all.figures.min = all.figures.min > all.figures.sum ? all.figures.sum : all.figures.min;
    data.chart.AppendPoint(0, all.figures.sum);
}

// A pair's link-quality figures as the live run showed them at its last second.
void RestoreQuality(const JournalContent& journal, long long pairNumber, PairQuality& quality) {
    if (const auto run = journal.runQuality.find(pairNumber); run != journal.runQuality.end()) {
        const RunQualityFigures& figures = run->second;
        if (figures.lostDatagrams && figures.totalDatagrams) {
            quality.lostDatagrams = *figures.lostDatagrams;
            quality.totalDatagrams = *figures.totalDatagrams;
            quality.lossPercent = LossPercentOf(quality.lostDatagrams, quality.totalDatagrams);
        }
        quality.jitterAverageMs = figures.jitterAverageMs;
        quality.jitterMaxMs = figures.jitterMaxMs;
        quality.rttIdleMs = figures.rttIdleMs;
        quality.rttLoadedMedianMs = figures.rttLoadedMedianMs;
        quality.rttLoadedP95Ms = figures.rttLoadedP95Ms;
    }
    if (const auto seconds = journal.quality.find(pairNumber);
        seconds != journal.quality.end() && !seconds->second.empty()) {
        const QualityFigures& last = seconds->second.back();
        quality.lastLossPercent = last.lossPercent;
        quality.lastJitterMs = last.jitterMs;
        quality.lastRttMs = last.rttMs;
    }
}

PairState FinalState(const JournalContent& journal, long long pairNumber) {
    if (!journal.Finished())
        return PairState::Stopped;
    const auto found = journal.pairSummaries.find(pairNumber);
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
    data.settings.protocol = journal.head.udp ? Protocol::Udp : Protocol::Tcp;
    data.settings.windowSizeText = journal.head.windowText;
    data.settings.throughputText = journal.head.throughputText;
    data.settings.passLines = journal.head.passLines;
    AddPairs(journal.head, data);
    const int pairs = data.table.PairCount();
    data.chart.SetPairCount(pairs);
    data.chart.BeginRun(pairs);
    PairTable::ResetForRun(data.table.All());
    data.table.All().config.showTotal = 1;
    for (int tick = 1; tick <= journal.seconds; ++tick)
        ReplaySecond(journal, data, tick);
    for (int row = 0; row < data.table.Size(); ++row) {
        PairRecord& pair = data.table[row];
        if (row > 0 && pair.config.active) {
            const long long pairNumber = journal.head.pairs[static_cast<std::size_t>(row - 1)].pair;
            pair.figures.state = FinalState(journal, pairNumber);
            RestoreQuality(journal, pairNumber, pair.figures.quality);
            pair.figures.statusText = std::string(StatusText(pair.figures.state));
        }
        if (row == 0 || pair.config.active) {
            FormatFigures(pair.figures, row == 0 ? pair.figures.sum : pair.figures.current);
            pair.figures.countText = std::to_string(pair.figures.count);
        }
    }
    SumLossIntoAll(data.table);
    data.ticks = journal.seconds;
    data.chart.SetTotalVisible(true, ChartScaleSource::From(data.table));
    data.chart.FinishRun(journal.seconds, ChartScaleSource::From(data.table));
    data.measuredAt = MeasuredAt(journal);
}

}  // namespace quarn::console::records
