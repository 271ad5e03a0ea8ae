#include "console/headless/headless_options.h"

#include <charconv>
#include <functional>
#include <map>

#include "console/core/pair_table.h"
#include "console/records/metrics_server.h"
#include "console/records/run_history.h"
#include "ipv4/ipv4.h"

namespace quarn::console {
namespace {

bool IsDottedIpv4(const std::string& text) {
    return ParseIpv4(text).has_value();
}

std::vector<std::string> SplitComma(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find(',', pos);
        fields.push_back(
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            return fields;
        pos = end + 1;
    }
}

std::string ParsePair(const std::string& text, PairSpec& pair) {
    const std::vector<std::string> fields = SplitComma(text);
    if (fields.size() < 2 || fields.size() > 3)
        return "--pair expects EP1,EP2[,STREAMS]: " + text;
    if (!IsDottedIpv4(fields[0]) || !IsDottedIpv4(fields[1])) {
        return "--pair expects dotted IPv4 addresses: " + text;
    }
    pair.endpoint1 = fields[0];
    pair.endpoint2 = fields[1];
    if (fields.size() == 3) {
        const std::string& streams = fields[2];
        const auto [ptr, ec] =
            std::from_chars(streams.data(), streams.data() + streams.size(), pair.streams);
        if (streams.empty() || ec != std::errc() || ptr != streams.data() + streams.size() ||
            pair.streams < 1 || pair.streams > 16) {
            return "--pair: STREAMS must be 1 to 16: " + text;
        }
    }
    return {};
}

// Sets `line` from a number within 0..maximum, or says what was expected.
std::string SetLineNumber(const std::string& option, const std::string& value, double maximum,
                          const char* expected, std::optional<double>& line) {
    line = ParseLineNumber(value, maximum);
    return line ? std::string() : option + " expects " + expected + ": " + value;
}

}  // namespace

ParseResult ParseHeadlessOptions(const std::vector<std::string>& args) {
    ParseResult result;
    HeadlessOptions& o = result.options;
    using Setter = std::function<std::string(const std::string&)>;
    const std::map<std::string, Setter> valued = {
        {"--pair",
         [&](const std::string& v) {
             if (static_cast<int>(o.pairs.size()) >= PairTable::kMaxPairs) {
                 return std::string(PairTable::kMaxPairsReached);
             }
             PairSpec pair;
             std::string error = ParsePair(v, pair);
             if (error.empty())
                 o.pairs.push_back(pair);
             return error;
         }},
        {"--duration", [&](const std::string& v) { return o.durationText = v, std::string(); }},
        {"--window", [&](const std::string& v) { return o.windowText = v, std::string(); }},
        {"--throughput", [&](const std::string& v) { return o.throughputText = v, std::string(); }},
        {"--open", [&](const std::string& v) { return o.openPath = v, std::string(); }},
        {"--save", [&](const std::string& v) { return o.savePath = v, std::string(); }},
        {"--csv", [&](const std::string& v) { return o.csvPath = v, std::string(); }},
        {"--jsonl", [&](const std::string& v) { return o.jsonlPath = v, std::string(); }},
        {"--compare", [&](const std::string& v) { return o.comparePath = v, std::string(); }},
        {"--report", [&](const std::string& v) { return o.reportPath = v, std::string(); }},
        {"--title", [&](const std::string& v) { return o.reportTitle = v, std::string(); }},
        {"--metrics",
         [&](const std::string& v) {
             std::string error;
             if (records::ParseListenAddress(v, error))
                 o.metricsAddress = v;
             return error;
         }},
        {"--history-limit",
         [&](const std::string& v) {
             const auto size = records::ParseSize(v);
             if (!size)
                 return "--history-limit expects a size such as 500M or 2G: " + v;
             o.historyLimit = *size;
             return std::string();
         }},
        {"--pass-min",
         [&](const std::string& v) {
             o.passLines.minThroughput = ParseThroughputLine(v);
             return o.passLines.minThroughput
                        ? std::string()
                        : "--pass-min expects Mbit/s or a % of the expected goodput, such as "
                          "250 or 90%: " +
                              v;
         }},
        {"--pass-loss",
         [&](const std::string& v) {
             return SetLineNumber("--pass-loss", v, 100.0, "a loss in % from 0 to 100",
                                  o.passLines.maxLossPercent);
         }},
        {"--pass-jitter",
         [&](const std::string& v) {
             return SetLineNumber("--pass-jitter", v, 1e9, "a jitter in ms",
                                  o.passLines.maxJitterMs);
         }},
        {"--pass-rtt-rise",
         [&](const std::string& v) {
             return SetLineNumber("--pass-rtt-rise", v, 1e9, "a round-trip rise in ms",
                                  o.passLines.maxRttRiseMs);
         }},
        {"--pass-baseline",
         [&](const std::string& v) {
             return SetLineNumber("--pass-baseline", v, 100.0, "a drop in % from 0 to 100",
                                  o.passLines.maxBaselineDropPercent);
         }},
        {"--baseline", [&](const std::string& v) { return o.baselinePath = v, std::string(); }},
        {"--interface",
         [&](const std::string& v) { return o.interfaces.push_back(v), std::string(); }},
    };
    const std::map<std::string, std::function<void()>> flags = {
        {"--headless", [] {}},
        {"--help", [&] { o.help = true; }},
        {"-h", [&] { o.help = true; }},
        {"--search", [&] { o.search = true; }},
        {"--no-run", [&] { o.noRun = true; }},
        {"--udp", [&] { o.protocol = Protocol::Udp; }},
        {"--tcp", [&] { o.protocol = Protocol::Tcp; }},
        {"--runs", [&] { o.listRuns = true; }},
    };
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = name.find('=');
            name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        // Its run id is optional: a next argument that is not an option.
        if (name == "--recover") {
            o.recover = true;
            if (inlineValue)
                o.recoverId = *inlineValue;
            else if (i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0)
                o.recoverId = args[++i];
            continue;
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !inlineValue) {
            flag->second();
            continue;
        }
        const auto setter = valued.find(name);
        if (setter == valued.end()) {
            result.error = "unknown option: " + args[i];
            return result;
        }
        if (!inlineValue && i + 1 >= args.size()) {
            result.error = name + " needs a value";
            return result;
        }
        result.error = setter->second(inlineValue ? *inlineValue : args[++i]);
        if (!result.error.empty())
            return result;
    }
    if (o.passLines.maxBaselineDropPercent && o.baselinePath.empty())
        result.error = "--pass-baseline needs --baseline FILE|ID";
    return result;
}

std::string HeadlessUsage(const std::string& program) {
    return "Usage: " + program +
           " --headless [options]\n"
           "Runs a Quarn measurement from the command line.\n"
           "\n"
           "  --search              find the EndPoints and list them with their names\n"
           "  --pair EP1,EP2[,N]    add a pair: EP1 sends to EP2 with N TCP streams (1-16,\n"
           "                        default 1); repeatable, at most 16 pairs\n"
           "  --duration SEC        measurement duration in seconds (1-259200, default 60)\n"
           "  --udp | --tcp         protocol (default TCP)\n"
           "  --window MBYTE        TCP window size in MByte (up to 5, default 5)\n"
           "  --throughput MBPS     UDP throughput in Mbit/s (default 100)\n"
           "  --open FILE           load a .config file (pairs, settings, figures, series)\n"
           "  --no-run              do not measure: show an opened result, or rewrite it\n"
           "                        with --save\n"
           "  --save FILE           write the whole state to a .config file at the end\n"
           "  --csv FILE            write one row per processed second: tick, each pair's\n"
           "                        value, the total\n"
           "  --jsonl FILE|-        write every processed second of every pair, then the\n"
           "                        summaries, as JSON Lines (docs/records.md); - for stdout\n"
           "  --runs                list the run history: ID, date, pairs, state, duration\n"
           "  --recover [ID]        load a run of the history as --open loads a file (the\n"
           "                        latest unfinished one without ID); --no-run --save FILE\n"
           "                        keeps it\n"
           "  --compare FILE|ID     print the table of a saved file or a run of the history\n"
           "                        beside this one, and each pair's difference in %\n"
           "  --report FILE.html    write a report at the end: settings, pairs, table and\n"
           "                        chart in one HTML file; with pass lines it opens with a\n"
           "                        page to sign off: each pair's verdict and reasons\n"
           "  --title TEXT          the sign-off page's title\n"
           "  --pass-min MBPS|PCT%  a pair fails below this average: Mbit/s, or % of the\n"
           "                        goodput its EndPoints' links can carry\n"
           "  --pass-loss PCT       a UDP pair fails above this loss in %\n"
           "  --pass-jitter MS      a UDP pair fails above this jitter in ms\n"
           "  --pass-rtt-rise MS    a pair fails when its loaded round trip rises more than\n"
           "                        this over the idle one, in ms\n"
           "  --baseline FILE|ID    a saved file or a run of the history to hold the pairs\n"
           "                        to, matched by their addresses as --compare matches them\n"
           "  --pass-baseline PCT   a pair fails more than this % below its baseline average\n"
           "  --metrics [ADDR:]PORT serve /metrics for Prometheus on this port (on the\n"
           "                        loopback address unless ADDR is given, e.g. 0.0.0.0)\n"
           "  --history-limit SIZE  keep at most this much history, oldest runs go first\n"
           "                        (default 2G)\n"
           "  --interface NAME      limit discovery and \"restart\" to this interface\n"
           "                        (repeatable; lo allowed)\n"
           "  --help                show this text\n"
           "\n"
           "Options given here override what an opened file holds. A measurement runs when\n"
           "there is at least one pair and --no-run is not given. Ctrl-C stops a running\n"
           "measurement once its first second has been processed; a second Ctrl-C quits.\n"
           "With pass lines each pair is PASS, FAIL or UNCHECKED (no line applies, or a\n"
           "figure the line needs is missing); the reasons follow the table.\n"
           "Exit status: 0 for a completed run (or a successful --no-run load and save),\n"
           "3 for a completed run in which a pair fails its pass lines, 2 for a refused\n"
           "setting, 1 otherwise.\n";
}

}  // namespace quarn::console
