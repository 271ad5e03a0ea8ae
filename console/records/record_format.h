#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/link_facts.h"
#include "console/core/pass_lines.h"
#include "console/records/json_value.h"

namespace quarn::console::records {

// The record types of a run, one JSON object per line. The same lines go to a --jsonl
// stream and into the journal; docs/records.md describes them.
inline constexpr int kSchemaVersion = 1;

struct PairHead {
    long long pair = 0;  // the pair's number within its run (see PairNumberInRun)
    std::string name;
    std::string endpoint1;
    std::string endpoint2;
    std::string endpoint1Name;  // empty when unknown
    std::string endpoint2Name;
    int streams = 1;
    bool active = true;
    bool showAddress = true;
    PassLines passLines;                     // the pair's own, beside the run's
    TrafficOptions traffic;                  // "dscp", "dscp_class", "length", "mss"
    std::optional<LinkFacts> endpoint1Link;  // none: its EndPoint reported none
    std::optional<LinkFacts> endpoint2Link;
};

// Which plan's step a run was; an empty plan for a run of its own. Written as keys older
// readers skip.
struct PlanTags {
    std::string plan;
    std::string step;
    int stepNumber = 0;  // from 1
    int repetition = 0;  // from 1
    bool operator==(const PlanTags&) const = default;
};

// The first line: what the run measures and with which settings.
struct RunHead {
    std::string run;      // the run's id
    std::string started;  // RFC 3339 UTC
    std::string durationText;
    bool udp = false;
    std::string windowText;      // MByte, as typed
    std::string throughputText;  // Mbit/s, as typed
    PassLines passLines;
    std::vector<PairHead> pairs;
    PlanTags tags;
};

// Link-quality figures of one second; a key is written only when its figure is known.
struct QualityFigures {
    std::optional<double> lossPercent;
    std::optional<double> jitterMs;
    std::optional<double> rttMs;
};

// A pair's link-quality figures over the run so far, as its tooltip shows them; a key is
// written only when its figure is known. Kept in each second so that a run recovered after
// a crash shows them as the live run did at its last second.
struct RunQualityFigures {
    std::optional<long long> lostDatagrams;
    std::optional<long long> totalDatagrams;
    std::optional<double> jitterAverageMs;
    std::optional<double> jitterMaxMs;
    std::optional<double> rttIdleMs;
    std::optional<double> rttLoadedMedianMs;
    std::optional<double> rttLoadedP95Ms;
};

// One processed second of one pair. A record that is kept or read back owns its strings
// (SecondRecord); the main thread hands one on with views of the strings it holds
// (SecondView in record_sink.h), so that no string is copied each second.
template <typename Text>
struct BasicSecondRecord {
    Text time;  // RFC 3339 UTC, when the second was processed
    Text run;
    long long pair = 0;
    Text name;
    Text endpoint1;
    Text endpoint2;
    int second = 0;  // 1 for the run's first processed second
    double mbitPerS = 0.0;
    QualityFigures quality;
    RunQualityFigures runQuality;
};
using SecondRecord = BasicSecondRecord<std::string>;

// The same record with its strings as `To`: views of a kept record, or copies of views.
template <typename To, typename From>
BasicSecondRecord<To> WithStrings(const BasicSecondRecord<From>& r) {
    return {To(r.time),      To(r.run), r.pair,     To(r.name), To(r.endpoint1),
            To(r.endpoint2), r.second,  r.mbitPerS, r.quality,  r.runQuality};
}

// A pair's figures at the end of the run.
struct PairSummary {
    std::string time;
    std::string run;
    long long pair = 0;
    std::string name;
    std::string endpoint1;
    std::string endpoint2;
    int seconds = 0;
    double averageMbitPerS = 0.0;
    double minMbitPerS = 0.0;
    double maxMbitPerS = 0.0;
    std::string state;  // "Done", "Stopped", "Error"
    // Once the run was judged: "pass", "fail" or "unchecked", and why.
    std::string verdict;
    std::vector<std::string> verdictReasons;
    std::vector<std::string> notes;
    std::optional<double> expectedMbitPerS;
};

// The last line of a run; a journal without it belongs to a run that never ended.
struct RunSummary {
    std::string time;
    std::string run;
    std::string outcome;  // "completed", "stopped", "failed", "quit"
    int seconds = 0;
    int pairs = 0;
    double totalAverageMbitPerS = 0.0;  // the All row's average
    double totalMinMbitPerS = 0.0;
    double totalMaxMbitPerS = 0.0;
    std::string verdict;  // once judged
};

std::string EncodeHead(const RunHead& head);
std::string EncodeSecond(const SecondRecord& second);
std::string EncodeSecond(const BasicSecondRecord<std::string_view>& second);
std::string EncodePairSummary(const PairSummary& summary);
std::string EncodeRunSummary(const RunSummary& summary);

// The "type" of a parsed line, or empty.
std::string RecordType(const JsonValue& line);
// Decoders take a parsed line of the right type; nullopt when a required key is missing
// or has the wrong kind.
std::optional<RunHead> DecodeHead(const JsonValue& line);
std::optional<SecondRecord> DecodeSecond(const JsonValue& line);
std::optional<PairSummary> DecodePairSummary(const JsonValue& line);
std::optional<RunSummary> DecodeRunSummary(const JsonValue& line);

// "2026-12-09T01:46:39.123Z".
std::string FormatUtc(std::chrono::system_clock::time_point when);
// Reads FormatUtc's text back (fractions optional, 'Z' required); nullopt otherwise.
std::optional<std::chrono::system_clock::time_point> ParseUtc(const std::string& text);

}  // namespace quarn::console::records
