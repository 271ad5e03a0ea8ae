#include "console/headless/headless_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "console/core/measurement_run.h"
#include "console/core/number_text.h"
#include "console/core/pair_table.h"
#include "console/core/pair_text.h"
#include "console/records/metrics_server.h"
#include "console/records/run_history.h"

namespace quarn::console {
namespace {

// An hour per phase: 17 phases of 16 pairs then stay within a day.
constexpr int kMaxIsolateSeconds = 3600;

// Sets `line` from a number within 0..maximum, or says what was expected.
Outcome SetLineNumber(const std::string& option, const std::string& value, double maximum,
                      const char* expected, std::optional<double>& line) {
    line = ParseLineNumber(value, maximum);
    if (!line)
        return WhyNot{option + " expects " + expected + ": " + value};
    return Outcome::Done();
}

}  // namespace

Result<HeadlessOptions> ParseHeadlessOptions(const std::vector<std::string>& args) {
    HeadlessOptions o;
    const auto set = [](auto& field) {
        return [&field](const std::string& v) {
            field = v;
            return Outcome::Done();
        };
    };
    using Setter = std::function<Outcome(const std::string&)>;
    const std::map<std::string, Setter> valued = {
        {"--pair",
         [&](const std::string& v) {
             if (static_cast<int>(o.pairs.size()) >= PairTable::kMaxPairs)
                 return Outcome::Failed(PairTable::kMaxPairsReached);
             const Result<PairSpec> pair = ParsePairText("--pair", v);
             if (!pair)
                 return Outcome::Failed(pair.Why());
             o.pairs.push_back(*pair);
             return Outcome::Done();
         }},
        {"--duration", set(o.durationText)},
        {"--window", set(o.windowText)},
        {"--throughput",
         [&](const std::string& v) {
             // Past what an EndPoint runs; not above 0 is the run's refusal, as in the window.
             const double mbits = LeadingDouble(v);
             if (std::isfinite(mbits) && mbits > MeasurementRun::kMaxThroughput)
                 return Outcome::Failed(std::string("--throughput: ") +
                                        MeasurementRun::kThroughputTooLarge);
             o.throughputText = v;
             return Outcome::Done();
         }},
        {"--open", set(o.openPath)},
        {"--save", set(o.savePath)},
        {"--csv", set(o.csvPath)},
        {"--jsonl", set(o.jsonlPath)},
        {"--compare", set(o.comparePath)},
        {"--report", set(o.reportPath)},
        {"--lab-key", set(o.labKeyPath)},
        {"--title", set(o.reportTitle)},
        {"--metrics",
         [&](const std::string& v) {
             const Result<records::ListenAddress> where = records::ParseListenAddress(v);
             if (!where)
                 return Outcome::Failed(where.Why());
             o.metricsAddress = v;
             return Outcome::Done();
         }},
        {"--history-limit",
         [&](const std::string& v) {
             const auto size = records::ParseSize(v);
             if (!size)
                 return Outcome::Failed("--history-limit expects a size such as 500M or 2G: " + v);
             o.historyLimit = *size;
             return Outcome::Done();
         }},
        {"--pass-min",
         [&](const std::string& v) {
             o.passLines.minThroughput = ParseThroughputLine(v);
             if (!o.passLines.minThroughput)
                 return Outcome::Failed(
                     "--pass-min expects Mbit/s or a % of the expected goodput, such as "
                     "250 or 90%: " +
                     v);
             return Outcome::Done();
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
        {"--baseline", set(o.baselinePath)},
        {"--plan", set(o.planPath)},
        {"--mesh",
         [&](const std::string& v) {
             const Result<std::vector<std::string>> ends = ParseEndList("--mesh", v, 2);
             return ends ? AddBuiltPairs("--mesh", MeshPairs(*ends), o.pairs)
                         : Outcome::Failed(ends.Why());
         }},
        {"--fan-in",
         [&](const std::string& v) {
             const Result<std::vector<BuiltPair>> built = ParseFanText("--fan-in", v, true);
             return built ? AddBuiltPairs("--fan-in", *built, o.pairs)
                          : Outcome::Failed(built.Why());
         }},
        {"--fan-out",
         [&](const std::string& v) {
             const Result<std::vector<BuiltPair>> built = ParseFanText("--fan-out", v, false);
             return built ? AddBuiltPairs("--fan-out", *built, o.pairs)
                          : Outcome::Failed(built.Why());
         }},
        {"--dscp",
         [&](const std::string& v) {
             o.traffic.dscp = ParseDscp(v);
             return o.traffic.dscp
                        ? Outcome::Done()
                        : Outcome::Failed("--dscp expects CS0-CS7, AF11-AF43, EF or 0-63: " + v);
         }},
        {"--length",
         [&](const std::string& v) {
             o.traffic.length = ParseWholeIn(v, 1, kMaxTcpLength);
             return o.traffic.length ? Outcome::Done()
                                     : Outcome::Failed(
                                           "--length expects bytes, 20-65507 for UDP and "
                                           "1-1048576 for TCP: " +
                                           v);
         }},
        {"--mss",
         [&](const std::string& v) {
             o.traffic.mss = ParseWholeIn(v, kMinMss, kMaxMss);
             return o.traffic.mss ? Outcome::Done()
                                  : Outcome::Failed("--mss expects bytes from 536 to 9000: " + v);
         }},
        {"--isolate",
         [&](const std::string& v) {
             o.isolateSeconds = ParseWholeIn(v, 1, kMaxIsolateSeconds);
             return o.isolateSeconds
                        ? Outcome::Done()
                        : Outcome::Failed("--isolate expects seconds from 1 to 3600: " + v);
         }},
        {"--interface",
         [&](const std::string& v) {
             o.interfaces.push_back(v);
             return Outcome::Done();
         }},
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
        {"--both-ways", [&] { o.bothWays = true; }},
    };
    // A repeated option would silently take the last value; only these add one each time.
    const std::set<std::string> repeatable = {"--pair", "--interface"};
    std::set<std::string> seen;
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = name.find('=');
            name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name.rfind('-', 0) == 0 && !repeatable.contains(name) && !seen.insert(name).second)
            return WhyNot{name + " is given more than once"};
        // Its run id is optional: a next argument that is not an option.
        if (name == "--recover") {
            o.recover = true;
            if (inlineValue)
                o.recoverId = *inlineValue;
            else if (i + 1 < args.size() && args[i + 1].rfind('-', 0) != 0)
                o.recoverId = args[++i];
            continue;
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !inlineValue) {
            flag->second();
            continue;
        }
        const auto setter = valued.find(name);
        if (setter == valued.end())
            return WhyNot{"unknown option: " + args[i]};
        // An option is not a value: "--csv --duration 5" names no file. A value that starts
        // with "--" is given as --csv=--file.
        if (!inlineValue && (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0))
            return WhyNot{name + " needs a value"};
        if (const Outcome taken = setter->second(inlineValue ? *inlineValue : args[++i]); !taken)
            return WhyNot{taken.Why()};
    }
    if (!o.planPath.empty()) {
        // A plan says what each of its runs measures; --pair repeats and is not in `seen`.
        std::optional<std::string> given =
            o.pairs.empty() ? std::nullopt : std::optional<std::string>("--pair");
        for (const char* option :
             {"--mesh",          "--fan-in",        "--fan-out",  "--both-ways",  "--duration",
              "--udp",           "--tcp",           "--window",   "--throughput", "--dscp",
              "--length",        "--mss",           "--pass-min", "--pass-loss",  "--pass-jitter",
              "--pass-rtt-rise", "--pass-baseline", "--open",     "--recover",    "--no-run",
              "--search",        "--compare",       "--csv",      "--save",       "--runs"}) {
            if (seen.contains(option))
                given = option;
        }
        if (given)
            return WhyNot{*given +
                          " cannot be given with --plan: the plan says what each of its "
                          "steps runs"};
    }
    if (o.passLines.maxBaselineDropPercent && o.baselinePath.empty())
        return WhyNot{"--pass-baseline needs --baseline FILE|ID"};
    if (o.bothWays && !o.pairs.empty()) {
        if (const Outcome added = AddReversePairs("--both-ways", o.pairs); !added)
            return WhyNot{added.Why()};
    }
    // Its phases are runs of their own; one CSV file of seconds would mix them.
    if (o.isolateSeconds && !o.csvPath.empty())
        return WhyNot{"--isolate takes no --csv: each phase is a run of the history"};
    if (o.protocol == Protocol::Udp && o.traffic.mss)
        return WhyNot{"--mss applies to TCP only"};
    if (o.protocol)
        if (const std::string refusal = TrafficRefusal(o.traffic, *o.protocol); !refusal.empty())
            return WhyNot{"--length: " + refusal};
    return o;
}

std::string HeadlessUsage(const std::string& program) {
    return "Usage: " + program +
           " --headless [options]\n"
           "Runs a Quarn measurement from the command line.\n"
           "\n"
           "  --search              find the EndPoints and list them with their names\n"
           "  --pair EP1,EP2[,N]    add a pair: EP1 sends to EP2 with N TCP streams (1-16,\n"
           "                        default 1); repeatable, at most 16 pairs\n"
           "  --mesh A,B,C          add every ordered pair among these EndPoints\n"
           "  --fan-in A,B:T        add a pair from each of A, B to T\n"
           "  --fan-out T:A,B       add a pair from T to each of A, B (in a fan, an IPv6\n"
           "                        address stands in brackets: [fd00::9]:A,B)\n"
           "  --both-ways           add each pair's reverse; both directions run at once\n"
           "                        (every builder stays within the 16 pairs or adds\n"
           "                        nothing)\n"
           "  --duration SEC        measurement duration in seconds (1-259200, default 60)\n"
           "  --udp | --tcp         protocol (default TCP)\n"
           "  --window MBYTE        TCP window size in MByte (up to 5, default 5)\n"
           "  --throughput MBPS     UDP throughput in Mbit/s (up to 100000, default 100)\n"
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
           "  --plan FILE.yaml      run a test plan unattended: each step is a run of the\n"
           "                        history; with --report one report of every step\n"
           "  --dscp CLASS          mark every pair's traffic: CS0-CS7, AF11-AF43, EF or a\n"
           "                        DSCP 0-63\n"
           "  --length BYTES        UDP datagram (20-65507) or TCP write size (1-1048576)\n"
           "  --mss BYTES           TCP maximum segment size (536-9000)\n"
           "  --isolate SEC         run each pair alone for SEC seconds, then all together,\n"
           "                        and name the pairs that share a bottleneck\n"
           "  --metrics [ADDR:]PORT serve /metrics for Prometheus on this port (on the\n"
           "                        loopback address unless ADDR is given, e.g. 0.0.0.0\n"
           "                        or, for IPv6, [::])\n"
           "  --history-limit SIZE  keep at most this much history, oldest runs go first\n"
           "                        (default 2G)\n"
           "  --interface NAME      limit discovery and \"restart\" to this interface\n"
           "                        (repeatable; lo allowed)\n"
           "  --lab-key FILE        authenticate pairs and \"restart\" with this lab key\n"
           "  --help                show this text\n"
           "\n"
           "Options given here override what an opened file holds. A measurement runs when\n"
           "there is at least one pair and --no-run is not given. Ctrl-C stops a running\n"
           "measurement once its first second has been processed; a second Ctrl-C quits.\n"
           "With pass lines each pair is PASS, FAIL or UNCHECKED (no line applies, or a\n"
           "figure the line needs is missing); the reasons follow the table.\n"
           "Exit status: 0 for a completed run (or a successful --no-run load and save),\n"
           "3 for a completed run in which a pair fails its pass lines (or a plan with a\n"
           "step that fails), 2 for a refused setting or plan, 1 otherwise.\n"
           "Ctrl-C during a plan ends it after the step that runs, or ends its wait.\n";
}

}  // namespace quarn::console
