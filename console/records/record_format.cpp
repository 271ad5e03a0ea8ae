#include "console/records/record_format.h"

#include <cstdio>
#include <ctime>

#include "console/records/json_text.h"
#include "console/records/verdict_records.h"

namespace quarn::console::records {
namespace {

void AddTraffic(JsonObject& o, const TrafficOptions& traffic) {
    if (traffic.dscp)
        o.Integer("dscp", *traffic.dscp).String("dscp_class", DscpText(*traffic.dscp));
    if (traffic.length)
        o.Integer("length", *traffic.length);
    if (traffic.mss)
        o.Integer("mss", *traffic.mss);
}

// Figures out of their bounds are no option.
TrafficOptions DecodeTraffic(const JsonValue& v) {
    const auto within = [&v](std::string_view key, int low, int high) -> std::optional<int> {
        const auto value = v.IntegerAt(key);
        if (!value || *value < low || *value > high)
            return std::nullopt;
        return static_cast<int>(*value);
    };
    return {within("dscp", 0, kMaxDscp), within("length", 1, kMaxTcpLength),
            within("mss", kMinMss, kMaxMss)};
}

std::string EncodePairHead(const PairHead& pair) {
    JsonObject o;
    o.Integer("pair", pair.pair)
        .String("name", pair.name)
        .String("endpoint1", pair.endpoint1)
        .String("endpoint2", pair.endpoint2);
    if (!pair.endpoint1Name.empty())
        o.String("endpoint1_name", pair.endpoint1Name);
    if (!pair.endpoint2Name.empty())
        o.String("endpoint2_name", pair.endpoint2Name);
    o.Integer("streams", pair.streams).Bool("active", pair.active);
    o.Bool("show_address", pair.showAddress);
    if (!pair.passLines.Empty())
        o.Raw("pass_lines", EncodePassLines(pair.passLines));
    AddTraffic(o, pair.traffic);
    if (pair.endpoint1Link)
        o.Raw("endpoint1_link", EncodeLinkFacts(*pair.endpoint1Link));
    if (pair.endpoint2Link)
        o.Raw("endpoint2_link", EncodeLinkFacts(*pair.endpoint2Link));
    return o.Text();
}

std::optional<PairHead> DecodePairHead(const JsonValue& v) {
    PairHead pair;
    const auto id = v.IntegerAt("pair");
    const auto ep1 = v.StringAt("endpoint1");
    const auto ep2 = v.StringAt("endpoint2");
    if (!id || !ep1 || !ep2)
        return std::nullopt;
    pair.pair = *id;
    pair.endpoint1 = *ep1;
    pair.endpoint2 = *ep2;
    pair.name = v.StringAt("name").value_or("");
    pair.endpoint1Name = v.StringAt("endpoint1_name").value_or("");
    pair.endpoint2Name = v.StringAt("endpoint2_name").value_or("");
    pair.streams = static_cast<int>(v.IntegerAt("streams").value_or(1));
    pair.active = v.BoolAt("active").value_or(true);
    pair.showAddress = v.BoolAt("show_address").value_or(true);
    pair.traffic = DecodeTraffic(v);
    if (const JsonValue* lines = v.Find("pass_lines"))
        pair.passLines = DecodePassLines(*lines);
    if (const JsonValue* link = v.Find("endpoint1_link"))
        pair.endpoint1Link = DecodeLinkFacts(*link);
    if (const JsonValue* link = v.Find("endpoint2_link"))
        pair.endpoint2Link = DecodeLinkFacts(*link);
    return pair;
}

void AddPairIdentity(JsonObject& o, std::string_view run, long long pair, std::string_view name,
                     std::string_view endpoint1, std::string_view endpoint2) {
    o.String("run", run)
        .Integer("pair", pair)
        .String("name", name)
        .String("endpoint1", endpoint1)
        .String("endpoint2", endpoint2);
}

template <typename Record>
bool DecodePairIdentity(const JsonValue& v, Record& r) {
    const auto run = v.StringAt("run");
    const auto pair = v.IntegerAt("pair");
    if (!run || !pair)
        return false;
    r.run = *run;
    r.pair = *pair;
    r.time = v.StringAt("time").value_or("");
    r.name = v.StringAt("name").value_or("");
    r.endpoint1 = v.StringAt("endpoint1").value_or("");
    r.endpoint2 = v.StringAt("endpoint2").value_or("");
    return true;
}

void AddRunQuality(JsonObject& o, const RunQualityFigures& q) {
    if (q.lostDatagrams && q.totalDatagrams) {
        o.Integer("run_lost_datagrams", *q.lostDatagrams);
        o.Integer("run_total_datagrams", *q.totalDatagrams);
    }
    const auto number = [&o](std::string_view key, const std::optional<double>& value) {
        if (value)
            o.Number(key, *value);
    };
    number("run_jitter_average_ms", q.jitterAverageMs);
    number("run_jitter_max_ms", q.jitterMaxMs);
    number("rtt_idle_ms", q.rttIdleMs);
    number("run_rtt_median_ms", q.rttLoadedMedianMs);
    number("run_rtt_p95_ms", q.rttLoadedP95Ms);
}

RunQualityFigures DecodeRunQuality(const JsonValue& v) {
    RunQualityFigures q;
    q.lostDatagrams = v.IntegerAt("run_lost_datagrams");
    q.totalDatagrams = v.IntegerAt("run_total_datagrams");
    // Counts that cannot be a datagram count are no counts.
    if (!q.lostDatagrams || !q.totalDatagrams || *q.lostDatagrams < 0 ||
        *q.totalDatagrams < *q.lostDatagrams) {
        q.lostDatagrams.reset();
        q.totalDatagrams.reset();
    }
    q.jitterAverageMs = v.NumberAt("run_jitter_average_ms");
    q.jitterMaxMs = v.NumberAt("run_jitter_max_ms");
    q.rttIdleMs = v.NumberAt("rtt_idle_ms");
    q.rttLoadedMedianMs = v.NumberAt("run_rtt_median_ms");
    q.rttLoadedP95Ms = v.NumberAt("run_rtt_p95_ms");
    return q;
}

}  // namespace

std::string EncodeHead(const RunHead& head) {
    std::string pairs = "[";
    for (const PairHead& pair : head.pairs) {
        if (pairs.size() > 1)
            pairs += ',';
        pairs += EncodePairHead(pair);
    }
    pairs += ']';
    JsonObject o;
    o.String("type", "run")
        .Integer("schema", kSchemaVersion)
        .String("run", head.run)
        .String("started", head.started)
        .String("duration_s", head.durationText)
        .String("protocol", head.udp ? "udp" : "tcp")
        .String("window_mbyte", head.windowText)
        .String("throughput_mbit_per_s", head.throughputText);
    if (!head.passLines.Empty())
        o.Raw("pass_lines", EncodePassLines(head.passLines));
    o.Raw("pairs", pairs);
    if (!head.tags.plan.empty()) {
        o.String("plan", head.tags.plan)
            .String("plan_step", head.tags.step)
            .Integer("plan_step_number", head.tags.stepNumber)
            .Integer("plan_repetition", head.tags.repetition);
    }
    return o.Text();
}

namespace {

template <typename Text>
std::string EncodeSecondOf(const BasicSecondRecord<Text>& s) {
    JsonObject o;
    o.String("type", "second").String("time", s.time);
    AddPairIdentity(o, s.run, s.pair, s.name, s.endpoint1, s.endpoint2);
    o.Integer("second", s.second).Number("mbit_per_s", s.mbitPerS);
    if (s.quality.lossPercent)
        o.Number("loss_percent", *s.quality.lossPercent);
    if (s.quality.jitterMs)
        o.Number("jitter_ms", *s.quality.jitterMs);
    if (s.quality.rttMs)
        o.Number("rtt_ms", *s.quality.rttMs);
    AddRunQuality(o, s.runQuality);
    return o.Text();
}

}  // namespace

std::string EncodeSecond(const SecondRecord& second) {
    return EncodeSecondOf(second);
}

std::string EncodeSecond(const BasicSecondRecord<std::string_view>& second) {
    return EncodeSecondOf(second);
}

std::string EncodePairSummary(const PairSummary& s) {
    JsonObject o;
    o.String("type", "pair_summary").String("time", s.time);
    AddPairIdentity(o, s.run, s.pair, s.name, s.endpoint1, s.endpoint2);
    o.Integer("seconds", s.seconds)
        .Number("average_mbit_per_s", s.averageMbitPerS)
        .Number("min_mbit_per_s", s.minMbitPerS)
        .Number("max_mbit_per_s", s.maxMbitPerS)
        .String("state", s.state);
    if (s.expectedMbitPerS)
        o.Number("expected_mbit_per_s", *s.expectedMbitPerS);
    if (!s.verdict.empty())
        o.String("verdict", s.verdict).Raw("verdict_reasons", EncodeStrings(s.verdictReasons));
    if (!s.notes.empty())
        o.Raw("notes", EncodeStrings(s.notes));
    return o.Text();
}

std::string EncodeRunSummary(const RunSummary& s) {
    JsonObject o;
    o.String("type", "run_summary")
        .String("time", s.time)
        .String("run", s.run)
        .String("outcome", s.outcome)
        .Integer("seconds", s.seconds)
        .Integer("pairs", s.pairs)
        .Number("total_average_mbit_per_s", s.totalAverageMbitPerS)
        .Number("total_min_mbit_per_s", s.totalMinMbitPerS)
        .Number("total_max_mbit_per_s", s.totalMaxMbitPerS);
    if (!s.verdict.empty())
        o.String("verdict", s.verdict);
    return o.Text();
}

std::string RecordType(const JsonValue& line) {
    return line.StringAt("type").value_or("");
}

std::optional<RunHead> DecodeHead(const JsonValue& v) {
    const auto run = v.StringAt("run");
    const JsonValue* pairs = v.Find("pairs");
    if (RecordType(v) != "run" || !run || pairs == nullptr || !pairs->Is(JsonValue::Kind::Array))
        return std::nullopt;
    RunHead head;
    head.run = *run;
    head.started = v.StringAt("started").value_or("");
    head.durationText = v.StringAt("duration_s").value_or("");
    head.udp = v.StringAt("protocol").value_or("tcp") == "udp";
    head.windowText = v.StringAt("window_mbyte").value_or("");
    head.throughputText = v.StringAt("throughput_mbit_per_s").value_or("");
    if (const JsonValue* lines = v.Find("pass_lines"))
        head.passLines = DecodePassLines(*lines);
    for (const JsonValue& item : pairs->items) {
        std::optional<PairHead> pair = DecodePairHead(item);
        if (!pair)
            return std::nullopt;
        head.pairs.push_back(std::move(*pair));
    }
    head.tags.plan = v.StringAt("plan").value_or("");
    head.tags.step = v.StringAt("plan_step").value_or("");
    head.tags.stepNumber = static_cast<int>(v.NumberAt("plan_step_number").value_or(0));
    head.tags.repetition = static_cast<int>(v.NumberAt("plan_repetition").value_or(0));
    return head;
}

std::optional<SecondRecord> DecodeSecond(const JsonValue& v) {
    SecondRecord s;
    const auto second = v.IntegerAt("second");
    const auto value = v.NumberAt("mbit_per_s");
    if (RecordType(v) != "second" || !DecodePairIdentity(v, s) || !second || !value)
        return std::nullopt;
    s.second = static_cast<int>(*second);
    s.mbitPerS = *value;
    s.quality.lossPercent = v.NumberAt("loss_percent");
    s.quality.jitterMs = v.NumberAt("jitter_ms");
    s.quality.rttMs = v.NumberAt("rtt_ms");
    s.runQuality = DecodeRunQuality(v);
    return s;
}

std::optional<PairSummary> DecodePairSummary(const JsonValue& v) {
    PairSummary s;
    if (RecordType(v) != "pair_summary" || !DecodePairIdentity(v, s))
        return std::nullopt;
    s.seconds = static_cast<int>(v.IntegerAt("seconds").value_or(0));
    s.averageMbitPerS = v.NumberAt("average_mbit_per_s").value_or(0.0);
    s.minMbitPerS = v.NumberAt("min_mbit_per_s").value_or(0.0);
    s.maxMbitPerS = v.NumberAt("max_mbit_per_s").value_or(0.0);
    s.state = v.StringAt("state").value_or("");
    s.expectedMbitPerS = v.NumberAt("expected_mbit_per_s");
    if (const auto verdict = v.StringAt("verdict");
        verdict == "pass" || verdict == "fail" || verdict == "unchecked") {
        s.verdict = *verdict;
        if (const JsonValue* reasons = v.Find("verdict_reasons"))
            s.verdictReasons = DecodeStrings(*reasons);
    }
    if (const JsonValue* notes = v.Find("notes"))
        s.notes = DecodeStrings(*notes);
    return s;
}

std::optional<RunSummary> DecodeRunSummary(const JsonValue& v) {
    const auto run = v.StringAt("run");
    const auto outcome = v.StringAt("outcome");
    if (RecordType(v) != "run_summary" || !run || !outcome)
        return std::nullopt;
    RunSummary s;
    s.run = *run;
    s.outcome = *outcome;
    s.time = v.StringAt("time").value_or("");
    s.seconds = static_cast<int>(v.IntegerAt("seconds").value_or(0));
    s.pairs = static_cast<int>(v.IntegerAt("pairs").value_or(0));
    s.totalAverageMbitPerS = v.NumberAt("total_average_mbit_per_s").value_or(0.0);
    s.totalMinMbitPerS = v.NumberAt("total_min_mbit_per_s").value_or(0.0);
    s.totalMaxMbitPerS = v.NumberAt("total_max_mbit_per_s").value_or(0.0);
    if (const auto verdict = v.StringAt("verdict");
        verdict == "pass" || verdict == "fail" || verdict == "unchecked")
        s.verdict = *verdict;
    return s;
}

std::string FormatUtc(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const long long millis = ms - static_cast<long long>(seconds) * 1000;
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return text;
}

std::optional<std::chrono::system_clock::time_point> ParseUtc(const std::string& text) {
    // Digits where "YYYY-MM-DDTHH:MM:SS" has them: sscanf alone would take signs and spaces.
    for (const std::size_t at : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9')
            return std::nullopt;
    }
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6 ||
        consumed != 19)
        return std::nullopt;
    std::size_t pos = 19;
    long long millis = 0;
    if (pos < text.size() && text[pos] == '.') {
        long long scale = 100;
        for (++pos; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
            millis += (text[pos] - '0') * scale;
            scale /= 10;
        }
    }
    if (pos + 1 != text.size() || text[pos] != 'Z')
        return std::nullopt;
    // A damaged record could name a time the clock cannot hold (it spans 1678 to 2262).
    const auto within = [](int value, int low, int high) { return value >= low && value <= high; };
    if (!within(tm.tm_year, 1970, 2200) || !within(tm.tm_mon, 1, 12) ||
        !within(tm.tm_mday, 1, 31) || !within(tm.tm_hour, 0, 23) || !within(tm.tm_min, 0, 59) ||
        !within(tm.tm_sec, 0, 60))
        return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t seconds = timegm(&tm);
    return std::chrono::system_clock::from_time_t(seconds) + std::chrono::milliseconds(millis);
}

}  // namespace quarn::console::records
