#include "console/records/metrics_text.h"

#include <cmath>

#include "console/core/line_parser.h"
#include "console/records/json_text.h"
#include "console/records/record_source.h"

namespace quarn::console::records {
namespace {

constexpr double kBytesPerSecondPerMbit = 1e6 / 8;

// Label values escape backslash, double quote and line feed.
std::string LabelValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\', out += c;
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Number(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    std::string out;
    AppendJsonNumber(out, value);
    return out;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

std::string TrafficLabels(const TrafficOptions& traffic) {
    std::string labels;
    if (traffic.dscp)
        labels += ",dscp=\"" + DscpText(*traffic.dscp) + "\"";
    if (traffic.length)
        labels += ",length=\"" + std::to_string(*traffic.length) + "\"";
    if (traffic.mss)
        labels += ",mss=\"" + std::to_string(*traffic.mss) + "\"";
    return labels;
}

std::string PairLabels(const PairMetrics& pair) {
    return "{pair=\"" + std::to_string(pair.pair) + "\",endpoint1=\"" + LabelValue(pair.endpoint1) +
           "\",endpoint2=\"" + LabelValue(pair.endpoint2) + "\",names=\"" + LabelValue(pair.names) +
           "\"" + TrafficLabels(pair.traffic) + "}";
}

template <typename Value>
void PairFamily(std::string& out, const RunMetrics& metrics, const char* name, const char* type,
                const char* help, Value value) {
    bool any = false;
    for (const PairMetrics& pair : metrics.pairs) {
        const std::optional<double> v = value(pair);
        if (!v)
            continue;
        if (!any)
            Family(out, name, type, help);
        any = true;
        out += name + PairLabels(pair) + ' ' + Number(*v) + '\n';
    }
}

// One series per verdict, 1 for the pair's: a judged pair only.
void VerdictFamily(std::string& out, const RunMetrics& metrics) {
    bool any = false;
    for (const PairMetrics& pair : metrics.pairs) {
        if (pair.verdict.empty())
            continue;
        if (!any)
            Family(out, "quarn_pair_verdict", "gauge",
                   "1 for the verdict of the pair against its pass lines.");
        any = true;
        std::string labels = PairLabels(pair);
        labels.pop_back();  // the closing brace
        for (const char* verdict : kVerdicts) {
            out += "quarn_pair_verdict" + labels + ",verdict=\"" + verdict + "\"} " +
                   (pair.verdict == verdict ? "1" : "0") + '\n';
        }
    }
}

}  // namespace

std::string RenderMetrics(const RunMetrics& metrics) {
    std::string out;
    Family(out, "quarn_run_state", "gauge", "1 for the state the Console's run is in.");
    for (const char* state : kRunStates) {
        out += std::string("quarn_run_state{state=\"") + state + "\"} " +
               (metrics.state == state ? "1" : "0") + '\n';
    }
    Family(out, "quarn_run_seconds_processed", "gauge", "Seconds processed in the current run.");
    out += "quarn_run_seconds_processed " + std::to_string(metrics.secondsProcessed) + '\n';
    // Prometheus wants base units: bytes per second, seconds, ratios.
    Family(out, "quarn_run_throughput_bytes_per_second", "gauge",
           "Sum of the pairs' throughput in the last processed second.");
    out += "quarn_run_throughput_bytes_per_second " +
           Number(metrics.totalMbitPerS * kBytesPerSecondPerMbit) + '\n';
    PairFamily(out, metrics, "quarn_pair_throughput_bytes_per_second", "gauge",
               "Throughput of the pair in the last processed second.", [](const PairMetrics& p) {
                   return std::optional<double>(p.mbitPerS * kBytesPerSecondPerMbit);
               });
    PairFamily(out, metrics, "quarn_pair_seconds_counted_total", "counter",
               "Seconds of the pair counted in the run's statistics.", [](const PairMetrics& p) {
                   return std::optional<double>(static_cast<double>(p.secondsCounted));
               });
    PairFamily(out, metrics, "quarn_pair_lines_dropped_total", "counter",
               "Throughput reports of the pair that entered no counted second.",
               [](const PairMetrics& p) {
                   return std::optional<double>(static_cast<double>(p.linesDropped));
               });
    const auto scaled = [](const std::optional<double>& v, double factor) {
        return v ? std::optional<double>(*v * factor) : std::nullopt;
    };
    PairFamily(out, metrics, "quarn_pair_loss_ratio", "gauge",
               "Share of datagrams lost in the last processed second.",
               [&](const PairMetrics& p) { return scaled(p.lossPercent, 0.01); });
    PairFamily(out, metrics, "quarn_pair_jitter_seconds", "gauge",
               "Jitter in the last processed second.",
               [&](const PairMetrics& p) { return scaled(p.jitterMs, 0.001); });
    PairFamily(out, metrics, "quarn_pair_rtt_seconds", "gauge",
               "Round-trip time in the last processed second.",
               [&](const PairMetrics& p) { return scaled(p.rttMs, 0.001); });
    VerdictFamily(out, metrics);
    return out;
}

void MetricsCollector::BeginRun(const ConsoleData& data) {
    udp_ = data.settings.protocol == Protocol::Udp;
    scanned_.assign(static_cast<std::size_t>(data.table.Size()), 0);
    dropped_.assign(static_cast<std::size_t>(data.table.Size()), 0);
}

// Lines up to the last counted one are settled: a report before it that is not counted
// never will be.
void MetricsCollector::CountDropped(const PairLog& log, const PairRecord& pair, std::size_t row) {
    std::size_t& from = scanned_[row];
    if (from > log.Size())
        from = 0;
    std::size_t settled = from;
    for (std::size_t i = log.Size(); i > from; --i) {
        if (log.Counted(i - 1)) {
            settled = i;
            break;
        }
    }
    for (std::size_t i = from; i < settled; ++i) {
        if (!log.Counted(i) && IsSampleLine(log.Text(i), pair.config.parallel, udp_))
            ++dropped_[row];
    }
    from = settled;
}

RunMetrics MetricsCollector::Collect(const ConsoleData& data, bool measuring) {
    if (scanned_.size() != static_cast<std::size_t>(data.table.Size()))
        BeginRun(data);
    RunMetrics metrics;
    metrics.state = measuring ? "measuring" : "idle";
    metrics.secondsProcessed = data.ticks;
    for (int row = 1; row < data.table.Size(); ++row) {
        const PairRecord& record = data.table[row];
        if (!record.config.active)
            continue;
        if (const PairLog* log = data.logs.Find(record.id))
            CountDropped(*log, record, static_cast<std::size_t>(row));
        PairMetrics pair;
        pair.pair = PairNumberInRun(data.table, record.id);
        pair.endpoint1 = record.config.endpoint1;
        pair.endpoint2 = record.config.endpoint2;
        pair.names = data.DisplayName(record.config.endpoint1) + " -> " +
                     data.DisplayName(record.config.endpoint2);
        pair.mbitPerS = record.figures.current;
        pair.traffic = record.config.traffic;
        pair.secondsCounted =
            record.figures.count < 0 ? 0 : std::min(record.figures.count, data.ticks);
        pair.linesDropped = dropped_[static_cast<std::size_t>(row)];
        if (const PairJudgement* judged = data.judgement && !measuring && AnyPassLine(data)
                                              ? data.judgement->Find(record.id)
                                              : nullptr)
            pair.verdict = VerdictWord(judged->verdict.verdict);
        metrics.totalMbitPerS += record.figures.current;
        metrics.pairs.push_back(std::move(pair));
    }
    return metrics;
}

}  // namespace quarn::console::records
