#include "console/core/tick_processor.h"

#include <charconv>
#include <string>
#include <vector>

#include "console/core/line_parser.h"
#include "console/core/number_text.h"

namespace quarn::console {

namespace {

// "%.2f" of the value.
void FormatFigure(std::string& text, float value) {
    text = FixedText(static_cast<double>(value), 2);
}

void FormatCount(std::string& text, int count) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, count);
    text.assign(buffer, result.ptr);
}

// Comparisons are strict: an equal value changes nothing.
void UpdateExtremes(PairFigures& row, float value) {
    if (row.max < value) {
        row.max = value;
    }
    if (row.min > value) {
        row.min = value;
    }
}

}  // namespace

void FormatFigures(PairFigures& row, float current) {
    FormatFigure(row.currentText, current);
    FormatFigure(row.averageText, row.average);
    FormatFigure(row.maxText, row.max);
    FormatFigure(row.minText, row.min);
}

void SumLossIntoAll(PairTable& table) {
    PairQuality& all = table.All().figures.quality;
    all.lostDatagrams = 0;
    all.totalDatagrams = 0;
    for (const PairRecord& pair : table.Pairs()) {
        all.lostDatagrams = AddCount(all.lostDatagrams, pair.figures.quality.lostDatagrams);
        all.totalDatagrams = AddCount(all.totalDatagrams, pair.figures.quality.totalDatagrams);
    }
    all.lossPercent = LossPercentOf(all.lostDatagrams, all.totalDatagrams);
}

TickProcessor::TickProcessor(ConsoleData& data, ConsoleView& view) : data_(data), view_(view) {}

void TickProcessor::BeginRun(std::chrono::seconds duration, bool udp) {
    duration_ = duration;
    udp_ = udp;
    data_.ticks = 0;
    warmupTicks_ = 0;
    sampleLines_.assign(static_cast<std::size_t>(data_.table.Size()), PairLog::kNoLine);
    quality_.assign(static_cast<std::size_t>(data_.table.Size()), QualityAccumulator{});
    for (int r = 0; r < data_.table.Size(); ++r) {
        data_.table[r].figures.quality = PairQuality{};
    }
}

LineOutcome TickProcessor::HandleLine(int row, std::string_view rawLine) {
    if (!data_.table.IsPairRow(row)) {
        return LineOutcome::Logged;
    }
    // A CR of a CR LF ending would stick to the last token, so it goes before anything.
    const std::string_view line = WithoutTrailingCr(rawLine);
    PairRecord& pair = data_.table[row];
    const std::size_t logged = data_.logs.Of(pair.id).Append(line);

    LineOutcome outcome = LineOutcome::Logged;
    const bool failure = IsFailureLine(line);
    if (failure) {
        pair.figures.state = PairState::Error;
        outcome = LineOutcome::Failure;
    } else if (udp_) {
        // Before the sample, so that a tick this line completes sees its second.
        FeedQuality(row, line);
    }
    if (!failure && IsSampleLine(line, pair.config.parallel, udp_)) {
        if (IsRunTotalLine(line) && pair.figures.count >= 1) {
            outcome = LineOutcome::TotalDropped;
        } else {
            // Only this line is counted if the tick completes, not a later one.
            const auto slot = static_cast<std::size_t>(row);
            if (slot >= sampleLines_.size()) {
                sampleLines_.resize(slot + 1, PairLog::kNoLine);
            }
            sampleLines_[slot] = logged;
            outcome = TakeSample(row, SampleValue(line));
        }
    }
    view_.LogChanged(pair.id);
    return outcome;
}

void TickProcessor::FeedQuality(int row, std::string_view line) {
    const auto slot = static_cast<std::size_t>(row);
    if (slot >= quality_.size()) {
        quality_.resize(slot + 1);
    }
    if (quality_[slot].Feed(line) == QualityLine::Ignored) {
        return;
    }
    quality_[slot].Publish(data_.table[row].figures.quality);
    SumLossIntoAll(data_.table);
}

LineOutcome TickProcessor::TakeSample(int row, float value) {
    const int tick = data_.ticks + 1;
    PairFigures& pair = data_.table[row].figures;
    pair.count = tick;
    pair.current = value;
    if (!TickComplete(tick)) {
        return LineOutcome::SampleTaken;
    }
    if (warmupTicks_ < kWarmupTicks) {
        for (auto& pair : data_.table.Pairs()) {
            pair.figures.count = 0;
        }
        ++warmupTicks_;
        return LineOutcome::TickDiscarded;
    }
    ProcessTick(tick);
    return LineOutcome::TickProcessed;
}

bool TickProcessor::TickComplete(int tick) const {
    for (const PairRecord& pair : data_.table.Pairs()) {
        // A pair that failed before the run sends nothing; the others still tick.
        const bool failedAtStart = pair.run.finished && pair.run.result == PairResult::Failed;
        if (pair.config.active && !failedAtStart && pair.figures.count != tick) {
            return false;
        }
    }
    return true;
}

void TickProcessor::ProcessTick(int tick) {
    const bool firstTick = data_.ticks == 0;
    PairFigures& all = data_.table.All().figures;
    all.sum = 0.0f;
    all.average = 0.0f;
    std::vector<PairId> countedPairs;
    // Row k always feeds series k, whether or not it is active.
    for (int r = 1; r < data_.table.Size(); ++r) {
        PairRecord& record = data_.table[r];
        if (!record.config.active) {
            continue;
        }
        const std::size_t sampleLine = static_cast<std::size_t>(r) < sampleLines_.size()
                                           ? sampleLines_[static_cast<std::size_t>(r)]
                                           : PairLog::kNoLine;
        PairLog& log = data_.logs.Of(record.id);
        if (sampleLine < log.Size() && !log.Counted(sampleLine)) {
            log.MarkCounted(sampleLine);
            countedPairs.push_back(record.id);
        }
        PairFigures& pair = record.figures;
        UpdatePairFigures(pair, tick, firstTick);
        all.sum += pair.current;
        all.average += pair.average;
        data_.chart.AppendPoint(r, pair.current);
        // The same second's figures the per-second CSV writes: the latest round trip and
        // the loss of the second the sample closed.
        data_.chart.AppendQualityPoint(ChartMeasure::Latency, r, pair.quality.lastRttMs);
        data_.chart.AppendQualityPoint(ChartMeasure::Loss, r,
                                       udp_ ? pair.quality.lastLossPercent : std::nullopt);
        ++all.count;
    }
    UpdateAllFigures(firstTick);
    data_.chart.AppendPoint(0, all.sum);
    view_.RedrawList();
    if (!countedPairs.empty()) {
        view_.LogsCounted(countedPairs);
    }
    ++data_.ticks;
    data_.chart.SampleAdded(data_.ticks > ChartModel::kVisibleSamples,
                            ChartScaleSource::From(data_.table));
    view_.TickProcessed(data_.ticks, duration_);
}

void TickProcessor::UpdatePairFigures(PairFigures& pair, int tick, bool firstTick) {
    PairFigures& all = data_.table.All().figures;
    if (firstTick) {
        pair.min = pair.current;
    }
    FormatCount(pair.countText, tick);
    if (pair.current > all.peakSingle) {
        all.peakSingle = pair.current;
    }
    pair.sum += pair.current;
    pair.average = pair.sum / static_cast<float>(tick);
    UpdateExtremes(pair, pair.current);
    FormatFigures(pair, pair.current);
}

void TickProcessor::UpdateAllFigures(bool firstTick) {
    PairFigures& all = data_.table.All().figures;
    if (firstTick) {
        all.min = all.sum;
    }
    UpdateExtremes(all, all.sum);
    FormatCount(all.countText, all.count);
    FormatFigures(all, all.sum);
}

}  // namespace quarn::console
