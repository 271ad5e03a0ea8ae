#include "console/records/record_source.h"

#include <cstdio>
#include <ctime>
#include <random>

namespace quarn::console::records {

long long PairNumberInRun(const PairTable& table, PairId id) {
    return table.RowOf(id);
}

namespace {

std::optional<LinkFacts> LinkOf(const ConsoleData& data, const std::string& address) {
    const auto it = data.links.find(address);
    return it == data.links.end() ? std::nullopt : std::optional<LinkFacts>(it->second);
}

// The verdict keys of a summary, once the run was judged.
void AddJudgement(const ConsoleData& data, PairId id, PairSummary& summary) {
    const PairJudgement* judged = data.judgement ? data.judgement->Find(id) : nullptr;
    if (judged == nullptr)
        return;
    // Without any line every pair would only be "unchecked": the notes are all there is.
    if (AnyPassLine(data)) {
        summary.verdict = VerdictWord(judged->verdict.verdict);
        summary.verdictReasons = judged->verdict.reasons;
    }
    summary.notes = judged->notes;
    summary.expectedMbitPerS = judged->expectedMbps;
}

}  // namespace

RunHead MakeHead(const ConsoleData& data, const std::string& runId, const std::string& started) {
    RunHead head;
    head.run = runId;
    head.started = started;
    head.durationText = data.settings.durationText;
    head.udp = data.settings.protocol == Protocol::Udp;
    head.windowText = data.settings.windowSizeText;
    head.throughputText = data.settings.throughputText;
    head.passLines = data.settings.passLines;
    for (const PairRecord& record : data.table.Pairs()) {
        PairHead pair;
        pair.pair = PairNumberInRun(data.table, record.id);
        pair.name = record.name;
        pair.endpoint1 = record.config.endpoint1;
        pair.endpoint2 = record.config.endpoint2;
        pair.endpoint1Name = data.NameOf(record.config.endpoint1);
        pair.endpoint2Name = data.NameOf(record.config.endpoint2);
        pair.streams = record.config.parallel;
        pair.active = record.config.active;
        pair.showAddress = record.config.showAddress;
        pair.passLines = record.config.passLines;
        pair.traffic = record.config.traffic;
        pair.endpoint1Link = LinkOf(data, record.config.endpoint1);
        pair.endpoint2Link = LinkOf(data, record.config.endpoint2);
        head.pairs.push_back(std::move(pair));
    }
    return head;
}

std::string RunOutcome(const PairTable& table) {
    bool stopped = false;
    for (const PairRecord& pair : table.Pairs()) {
        if (!pair.config.active)
            continue;
        if (pair.figures.state == PairState::Error)
            return "failed";
        stopped = stopped || pair.figures.state != PairState::Done;
    }
    return stopped ? "stopped" : "completed";
}

std::string NewRunId(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    std::random_device random;
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%04x", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<unsigned>(random() & 0xFFFFu));
    return text;
}

void RecordSource::Begin(const ConsoleData& data, std::string runId, TimePoint now) {
    runId_ = std::move(runId);
    active_ = true;
    RunHead head = MakeHead(data, runId_, FormatUtc(now));
    head.tags = tags_;
    Emit(EncodeHead(head));
    for (RecordSink* sink : sinks_)
        sink->SecondEnded();
}

namespace {

RunQualityFigures RunQualityOf(const PairQuality& quality) {
    RunQualityFigures figures;
    if (quality.totalDatagrams > 0) {
        figures.lostDatagrams = quality.lostDatagrams;
        figures.totalDatagrams = quality.totalDatagrams;
    }
    figures.jitterAverageMs = quality.jitterAverageMs;
    figures.jitterMaxMs = quality.jitterMaxMs;
    figures.rttIdleMs = quality.rttIdleMs;
    figures.rttLoadedMedianMs = quality.rttLoadedMedianMs;
    figures.rttLoadedP95Ms = quality.rttLoadedP95Ms;
    return figures;
}

}  // namespace

void RecordSource::Second(const ConsoleData& data, TimePoint now) {
    if (!active_)
        return;
    SecondView view;
    view.at = now;
    view.run = runId_;
    view.second = data.ticks;
    for (const PairRecord& pair : data.table.Pairs()) {
        if (!pair.config.active)
            continue;
        view.pair = PairNumberInRun(data.table, pair.id);
        view.name = pair.name;
        view.endpoint1 = pair.config.endpoint1;
        view.endpoint2 = pair.config.endpoint2;
        view.mbitPerS = pair.figures.current;
        // The figures the chart draws for this second, so a restored run draws them too.
        const PairQuality& quality = pair.figures.quality;
        view.quality.lossPercent = quality.lastLossPercent;
        view.quality.jitterMs = quality.lastJitterMs;
        view.quality.rttMs = quality.lastRttMs;
        view.runQuality = RunQualityOf(quality);
        EmitSecond(view);
    }
    for (RecordSink* sink : sinks_)
        sink->SecondEnded();
}

void RecordSource::EmitSecond(const SecondView& view) {
    // Encoded here at most once, and only for sinks that do not encode it themselves.
    std::string text;
    for (RecordSink* sink : sinks_) {
        if (!sink->WriteSecond(view)) {
            if (text.empty()) {
                const std::string time = view.at ? FormatUtc(*view.at) : std::string(view.time);
                BasicSecondRecord<std::string_view> record = view;
                record.time = time;
                text = EncodeSecond(record);
            }
            sink->Write(text);
        }
    }
}

void RecordSource::End(const ConsoleData& data, const std::string& outcome, TimePoint now) {
    if (!active_)
        return;
    active_ = false;
    const std::string time = FormatUtc(now);
    int pairs = 0;
    for (const PairRecord& pair : data.table.Pairs()) {
        if (!pair.config.active)
            continue;
        ++pairs;
        PairSummary summary;
        summary.time = time;
        summary.run = runId_;
        summary.pair = PairNumberInRun(data.table, pair.id);
        summary.name = pair.name;
        summary.endpoint1 = pair.config.endpoint1;
        summary.endpoint2 = pair.config.endpoint2;
        summary.seconds = data.ticks;
        summary.averageMbitPerS = pair.figures.average;
        summary.minMbitPerS = pair.figures.min < 0.0f ? 0.0f : pair.figures.min;
        summary.maxMbitPerS = pair.figures.max;
        summary.state = pair.figures.statusText;
        AddJudgement(data, pair.id, summary);
        Emit(EncodePairSummary(summary));
    }
    const PairRecord& all = data.table.All();
    RunSummary summary;
    summary.time = time;
    summary.run = runId_;
    summary.outcome = outcome;
    summary.seconds = data.ticks;
    summary.pairs = pairs;
    summary.totalAverageMbitPerS = all.figures.average;
    summary.totalMinMbitPerS = all.figures.min < 0.0f ? 0.0f : all.figures.min;
    summary.totalMaxMbitPerS = all.figures.max;
    if (data.judgement && AnyPassLine(data))
        summary.verdict = VerdictWord(data.judgement->run);
    Emit(EncodeRunSummary(summary));
    for (RecordSink* sink : sinks_)
        sink->RunEnded();
}

void RecordSource::Emit(const std::string& line) {
    for (RecordSink* sink : sinks_)
        sink->Write(line);
}

}  // namespace quarn::console::records
