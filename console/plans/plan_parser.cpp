#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "console/core/measurement_run.h"
#include "console/plans/test_plan.h"

namespace quarn::console::plans {
namespace {

// What a refusal lists as the keys a map takes.
std::string KeyList(const std::vector<std::string>& keys) {
    std::string text;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0)
            text += i + 1 == keys.size() ? " or " : ", ";
        text += keys[i];
    }
    return text;
}

const std::vector<std::string> kPlanKeys = {"name", "pairs", "pass", "steps", "repeat", "every"};
const std::vector<std::string> kPassKeys = {"min", "loss", "jitter", "rtt-rise", "baseline"};
const std::vector<std::string> kStepKeys = {"name",       "protocol",  "streams", "window",
                                            "throughput", "length",    "mss",     "dscp",
                                            "duration",   "both-ways", "isolate", "pass"};
const std::vector<std::string> kBuilderKeys = {"mesh", "fan-in", "fan-out", "both-ways"};

class PlanReader {
  public:
    explicit PlanReader(std::string file) : file_(std::move(file)) {}

    Result<TestPlan> Read(const YAML::Node& root);

  private:
    using Node = YAML::Node;
    using Setter = std::function<Outcome(const Node& key, const std::string& value)>;

    // "FILE:LINE: what"; a node without a place (an empty value) is placed at its key.
    WhyNot At(const Node& node, const std::string& what) const {
        const int line = node.Mark().line;
        return WhyNot{file_ + ":" + (line >= 0 ? std::to_string(line + 1) + ":" : "") + " " + what};
    }
    // Each key of `map` once, each one `keys` lists; `where` names the map in a refusal.
    Outcome CheckKeys(const Node& map, const std::string& where,
                      const std::vector<std::string>& keys) const;
    Result<std::string> ScalarOf(const Node& key, const Node& value) const;
    Outcome ReadMap(const Node& map, const std::map<std::string, Setter>& setters) const;
    Outcome ReadPairs(const Node& key, const Node& list, std::vector<PairSpec>& pairs) const;
    Outcome ReadBuilder(const Node& entry, std::vector<PairSpec>& pairs) const;
    Outcome ReadPass(const Node& key, const Node& map, PassLines& lines) const;
    Result<PlanStep> ReadStep(const Node& step, std::size_t index,
                              const std::vector<PairSpec>& pairs) const;
    Outcome CheckStep(const Node& step, const PlanStep& read,
                      const std::vector<PairSpec>& pairs) const;
    Outcome ReadSteps(const Node& key, const Node& list, TestPlan& plan) const;

    std::string file_;
};

Outcome PlanReader::CheckKeys(const Node& map, const std::string& where,
                              const std::vector<std::string>& keys) const {
    if (!map.IsMap())
        return At(map, where + " expects keys: " + KeyList(keys));
    std::set<std::string> seen;
    for (const auto& item : map) {
        const std::string key = item.first.IsScalar() ? item.first.Scalar() : std::string();
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            return At(item.first,
                      "unknown key \"" + key + "\" in " + where + "; expected " + KeyList(keys));
        if (!seen.insert(key).second)
            return At(item.first, key + " is given twice in " + where);
    }
    return Outcome::Done();
}

Result<std::string> PlanReader::ScalarOf(const Node& key, const Node& value) const {
    if (!value.IsScalar() || value.Scalar().empty())
        return At(value.IsNull() || value.Mark().line < 0 ? key : value,
                  key.Scalar() + " expects a value");
    return value.Scalar();
}

// Hands each key's scalar to its setter; a key without a setter takes a map or list and
// is read by the caller.
Outcome PlanReader::ReadMap(const Node& map, const std::map<std::string, Setter>& setters) const {
    for (const auto& item : map) {
        const auto setter = setters.find(item.first.Scalar());
        if (setter == setters.end())
            continue;
        const Result<std::string> value = ScalarOf(item.first, item.second);
        if (!value)
            return WhyNot{value.Why()};
        if (const Outcome set = setter->second(item.first, *value); !set)
            return set;
    }
    return Outcome::Done();
}

Outcome PlanReader::ReadBuilder(const Node& entry, std::vector<PairSpec>& pairs) const {
    if (const Outcome keys = CheckKeys(entry, "a pairs builder", kBuilderKeys); !keys)
        return keys;
    if (entry.size() != 1)
        return At(entry, "a pairs builder is one of " + KeyList(kBuilderKeys));
    const auto item = *entry.begin();
    const std::string builder = item.first.Scalar();
    const Result<std::string> text = ScalarOf(item.first, item.second);
    if (!text)
        return WhyNot{text.Why()};
    Result<std::vector<BuiltPair>> built = std::vector<BuiltPair>();
    if (builder == "mesh") {
        const Result<std::vector<std::string>> ends = ParseEndList(builder, *text, 2);
        built = ends ? Result<std::vector<BuiltPair>>(MeshPairs(*ends)) : WhyNot{ends.Why()};
    } else if (builder == "both-ways") {
        const Result<PairSpec> pair = ParsePairText(builder, *text);
        if (!pair)
            return At(item.second, pair.Why());
        built = std::vector<BuiltPair>{{pair->endpoint1, pair->endpoint2},
                                       {pair->endpoint2, pair->endpoint1}};
    } else {
        built = ParseFanText(builder, *text, builder == "fan-in");
    }
    if (!built)
        return At(item.second, built.Why());
    const Outcome added = AddBuiltPairs("The " + builder + " builder", *built, pairs);
    return added ? added : At(item.second, added.Why());
}

Outcome PlanReader::ReadPairs(const Node& key, const Node& list,
                              std::vector<PairSpec>& pairs) const {
    if (!list.IsSequence() || list.size() == 0)
        return At(list.IsNull() || list.Mark().line < 0 ? key : list,
                  "pairs expects a list of EP1,EP2[,STREAMS] entries or builders (" +
                      KeyList(kBuilderKeys) + ")");
    for (const Node& entry : list) {
        if (entry.IsMap()) {
            if (const Outcome built = ReadBuilder(entry, pairs); !built)
                return built;
            continue;
        }
        const Result<PairSpec> pair = entry.IsScalar()
                                          ? ParsePairText("a pair", entry.Scalar())
                                          : Result<PairSpec>(WhyNot{"a pair expects "
                                                                    "EP1,EP2[,STREAMS]"});
        if (!pair)
            return At(entry, pair.Why());
        const Outcome added =
            AddBuiltPairs("The pairs", {{pair->endpoint1, pair->endpoint2}}, pairs);
        if (!added)
            return At(entry, added.Why());
        pairs.back().streams = pair->streams;
    }
    return Outcome::Done();
}

Outcome PlanReader::ReadPass(const Node& key, const Node& map, PassLines& lines) const {
    if (const Outcome keys = CheckKeys(map.IsNull() ? key : map, "pass", kPassKeys); !keys)
        return keys;
    const auto number = [this](std::optional<double>& line, double maximum, const char* expected) {
        return [this, &line, maximum, expected](const Node& k, const std::string& v) {
            line = ParseLineNumber(v, maximum);
            return line ? Outcome::Done()
                        : Outcome(At(k, k.Scalar() + " expects " + expected + ": " + v));
        };
    };
    return ReadMap(
        map,
        {{"min",
          [this, &lines](const Node& k, const std::string& v) {
              lines.minThroughput = ParseThroughputLine(v);
              return lines.minThroughput
                         ? Outcome::Done()
                         : Outcome(At(k,
                                      "min expects Mbit/s or a % of the expected goodput, "
                                      "such as 250 or 90%: " +
                                          v));
          }},
         {"loss", number(lines.maxLossPercent, 100.0, "a loss in % from 0 to 100")},
         {"jitter", number(lines.maxJitterMs, 1e9, "a jitter in ms")},
         {"rtt-rise", number(lines.maxRttRiseMs, 1e9, "a round-trip rise in ms")},
         {"baseline", number(lines.maxBaselineDropPercent, 100.0, "a drop in % from 0 to 100")}});
}

Result<PlanStep> PlanReader::ReadStep(const Node& step, std::size_t index,
                                      const std::vector<PairSpec>& pairs) const {
    if (const Outcome keys = CheckKeys(step, "a step", kStepKeys); !keys)
        return WhyNot{keys.Why()};
    PlanStep read;
    read.name = "Step " + std::to_string(index + 1);
    const auto whole = [this](std::optional<int>& field, int low, int high, std::string expected) {
        return [this, &field, low, high, expected](const Node& k, const std::string& v) {
            field = ParseWholeIn(v, low, high);
            return field ? Outcome::Done()
                         : Outcome(At(k, k.Scalar() + " expects " + expected + ": " + v));
        };
    };
    const auto positive = [this](std::optional<std::string>& field, double maximum,
                                 std::string expected) {
        return [this, &field, maximum, expected](const Node& k, const std::string& v) {
            const std::optional<double> number = ParseLineNumber(v, maximum);
            if (!number || *number <= 0.0)
                return Outcome(At(k, k.Scalar() + " expects " + expected + ": " + v));
            field = v;
            return Outcome::Done();
        };
    };
    std::optional<int> isolate;
    std::optional<std::string> duration;
    const Outcome values = ReadMap(
        step,
        {{"name",
          [&read](const Node&, const std::string& v) {
              read.name = v;
              return Outcome::Done();
          }},
         {"protocol",
          [&read, this](const Node& k, const std::string& v) {
              if (v != "tcp" && v != "udp" && v != "TCP" && v != "UDP")
                  return Outcome(At(k, "protocol expects tcp or udp: " + v));
              read.protocol = (v == "udp" || v == "UDP") ? Protocol::Udp : Protocol::Tcp;
              return Outcome::Done();
          }},
         {"streams", whole(read.streams, 1, 16, "1 to 16 streams")},
         {"window", positive(read.windowText, 5.0, "a TCP window in MByte, above 0 and up to 5")},
         {"throughput", positive(read.throughputText, MeasurementRun::kMaxThroughput,
                                 "a UDP throughput in Mbit/s, above 0 and up to 100000")},
         {"length", whole(read.traffic.length, 1, kMaxTcpLength,
                          "bytes, 20-65507 for UDP and 1-1048576 for TCP")},
         {"mss", whole(read.traffic.mss, kMinMss, kMaxMss, "bytes from 536 to 9000")},
         {"dscp",
          [&read, this](const Node& k, const std::string& v) {
              read.traffic.dscp = ParseDscp(v);
              return read.traffic.dscp
                         ? Outcome::Done()
                         : Outcome(At(k, "dscp expects CS0-CS7, AF11-AF43, EF or 0-63: " + v));
          }},
         {"duration",
          [&duration, this](const Node& k, const std::string& v) {
              if (!ParseWholeIn(v, 1, static_cast<int>(MeasurementRun::kMaxDuration.count())))
                  return Outcome(At(k, "duration expects seconds from 1 to 259200: " + v));
              duration = v;
              return Outcome::Done();
          }},
         {"both-ways",
          [&read, this](const Node& k, const std::string& v) {
              if (!YAML::convert<bool>::decode(YAML::Node(v), read.bothWays))
                  return Outcome(At(k, "both-ways expects true or false: " + v));
              return Outcome::Done();
          }},
         {"isolate", whole(isolate, 1, kMaxIsolateSeconds, "seconds from 1 to 3600")}});
    if (!values)
        return WhyNot{values.Why()};
    read.durationText = duration;
    read.isolateSeconds = isolate;
    if (const Node pass = step["pass"]; pass)
        if (const Outcome lines = ReadPass(step, pass, read.pass); !lines)
            return WhyNot{lines.Why()};
    if (const Outcome checked = CheckStep(step, read, pairs); !checked)
        return WhyNot{checked.Why()};
    return read;
}

// What one key allows depends on another: the protocol, the room for reverses.
Outcome PlanReader::CheckStep(const Node& step, const PlanStep& read,
                              const std::vector<PairSpec>& pairs) const {
    const bool udp = read.protocol == Protocol::Udp;
    if (udp && read.traffic.mss)
        return At(step["mss"], "mss applies to TCP only");
    if (udp && read.windowText)
        return At(step["window"], "window applies to TCP only");
    if (!udp && read.throughputText)
        return At(step["throughput"], "throughput applies to UDP only");
    if (const std::string refusal = TrafficRefusal(read.traffic, read.protocol); !refusal.empty())
        return At(step["length"], "length: " + refusal);
    if (read.bothWays) {
        std::vector<PairSpec> both = pairs;
        if (const Outcome room = AddReversePairs("Both ways", both); !room)
            return At(step["both-ways"], room.Why());
    }
    return Outcome::Done();
}

Outcome PlanReader::ReadSteps(const Node& key, const Node& list, TestPlan& plan) const {
    if (!list.IsSequence() || list.size() == 0)
        return At(list.IsNull() || list.Mark().line < 0 ? key : list,
                  "steps expects a list of steps");
    for (std::size_t i = 0; i < list.size(); ++i) {
        Result<PlanStep> step = ReadStep(list[i], i, plan.pairs);
        if (!step)
            return WhyNot{step.Why()};
        plan.steps.push_back(std::move(step).Value());
    }
    return Outcome::Done();
}

Result<TestPlan> PlanReader::Read(const Node& root) {
    if (const Outcome keys = CheckKeys(root, "a plan", kPlanKeys); !keys)
        return WhyNot{keys.Why()};
    TestPlan plan;
    std::optional<int> repeat;
    std::optional<Node> everyKey;
    const Outcome values = ReadMap(
        root, {{"name",
                [&plan](const Node&, const std::string& v) {
                    plan.name = v;
                    return Outcome::Done();
                }},
               {"repeat",
                [&repeat, this](const Node& k, const std::string& v) {
                    repeat = ParseWholeIn(v, 1, kMaxRepeat);
                    return repeat ? Outcome::Done()
                                  : Outcome(At(k, "repeat expects a count from 1 to 10000: " + v));
                }},
               {"every", [&plan, &everyKey, this](const Node& k, const std::string& v) {
                    const std::optional<std::chrono::seconds> every = ParseInterval(v);
                    if (!every || *every < std::chrono::seconds(1) || *every > kMaxEvery)
                        return Outcome(At(k,
                                          "every expects a time from 1 s to 168 h, such as "
                                          "90 s, 30 min or 1 h: " +
                                              v));
                    plan.every = *every;
                    everyKey = k;
                    return Outcome::Done();
                }}});
    if (!values)
        return WhyNot{values.Why()};
    plan.repeat = repeat.value_or(1);
    if (everyKey && plan.repeat < 2)
        return At(*everyKey, "every needs a repeat of 2 or more");
    if (!root["pairs"])
        return At(root, "a plan needs pairs");
    for (const auto& item : root) {
        const std::string key = item.first.Scalar();
        Outcome read = Outcome::Done();
        if (key == "pairs")
            read = ReadPairs(item.first, item.second, plan.pairs);
        else if (key == "pass")
            read = ReadPass(item.first, item.second, plan.pass);
        if (!read)
            return WhyNot{read.Why()};
    }
    // Steps are read once the pairs are known: both ways must fit beside them.
    if (!root["steps"])
        return At(root, "a plan needs steps");
    for (const auto& item : root) {
        if (item.first.Scalar() == "steps")
            if (const Outcome read = ReadSteps(item.first, item.second, plan); !read)
                return WhyNot{read.Why()};
    }
    return plan;
}

}  // namespace

Result<TestPlan> ParsePlan(const std::string& text, const std::string& file) {
    try {
        Result<TestPlan> plan = PlanReader(file).Read(YAML::Load(text));
        if (plan && plan->name.empty())
            plan->name = file.substr(file.find_last_of('/') + 1);
        return plan;
    } catch (const YAML::Exception& e) {
        const std::string line =
            e.mark.line >= 0 ? std::to_string(e.mark.line + 1) + ": " : std::string();
        return WhyNot{file + ":" + line + "not a YAML plan: " + e.msg};
    }
}

}  // namespace quarn::console::plans
