#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "address/ip_address.h"
#include "console/plans/test_plan.h"

namespace quarn::console::plans {
namespace {

constexpr const char* kFullPlan = R"(name: Floor 3
pairs:
  - 10.0.0.2,10.0.0.3
  - 10.0.0.4,10.0.0.5,4
  - fan-in: 10.0.0.6,10.0.0.7:10.0.0.8
  - both-ways: 10.0.0.9,10.0.0.10
pass:
  min: 90%
  rtt-rise: 5
steps:
  - name: Voice
    protocol: udp
    throughput: 2.5
    length: 200
    dscp: EF
    duration: 30
    pass:
      loss: 0.5
      jitter: 10
  - name: Bulk
    streams: 8
    window: 2
    mss: 1000
    both-ways: yes
    isolate: 10
  - duration: 5
repeat: 24
every: 1 h
)";

TEST(PlanParser, ReadsEveryKeyOfAPlan) {
    const Result<TestPlan> plan = ParsePlan(kFullPlan, "floor.yaml");
    ASSERT_TRUE(plan) << plan.Why();
    EXPECT_EQ(plan->name, "Floor 3");
    const std::vector<PairSpec> pairs = {
        {"10.0.0.2", "10.0.0.3", 1}, {"10.0.0.4", "10.0.0.5", 4},  {"10.0.0.6", "10.0.0.8", 1},
        {"10.0.0.7", "10.0.0.8", 1}, {"10.0.0.9", "10.0.0.10", 1}, {"10.0.0.10", "10.0.0.9", 1}};
    EXPECT_EQ(plan->pairs, pairs);
    ASSERT_TRUE(plan->pass.minThroughput);
    EXPECT_TRUE(plan->pass.minThroughput->percentOfExpected);
    EXPECT_EQ(plan->pass.maxRttRiseMs, 5.0);
    EXPECT_EQ(plan->repeat, 24);
    EXPECT_EQ(plan->every, std::chrono::hours(1));
    ASSERT_EQ(plan->steps.size(), 3u);

    const PlanStep& voice = plan->steps[0];
    EXPECT_EQ(voice.name, "Voice");
    EXPECT_EQ(voice.protocol, Protocol::Udp);
    EXPECT_EQ(voice.throughputText, "2.5");
    EXPECT_EQ(voice.traffic, (TrafficOptions{46, 200, std::nullopt}));
    EXPECT_EQ(voice.durationText, "30");
    const PassLines voiceLines = StepLines(*plan, voice);
    EXPECT_EQ(voiceLines.maxLossPercent, 0.5);
    EXPECT_EQ(voiceLines.maxJitterMs, 10.0);
    EXPECT_EQ(voiceLines.maxRttRiseMs, 5.0);  // the plan's, kept

    const PlanStep& bulk = plan->steps[1];
    EXPECT_EQ(bulk.protocol, Protocol::Tcp);
    EXPECT_EQ(bulk.streams, 8);
    EXPECT_EQ(bulk.windowText, "2");
    EXPECT_EQ(bulk.traffic.mss, 1000);
    EXPECT_TRUE(bulk.bothWays);
    EXPECT_EQ(bulk.isolateSeconds, 10);
    EXPECT_EQ(plan->steps[2].name, "Step 3");
    EXPECT_EQ(plan->steps[2].durationText, "5");
}

TEST(PlanParser, StepPairsTakeTheStepsStreamsAndReversesOnlyWhenAsked) {
    const Result<TestPlan> plan = ParsePlan(kFullPlan, "floor.yaml");
    ASSERT_TRUE(plan) << plan.Why();
    const std::vector<PairSpec> voice = StepPairs(*plan, plan->steps[0]);
    EXPECT_EQ(voice, plan->pairs);
    const std::vector<PairSpec> bulk = StepPairs(*plan, plan->steps[1]);
    // Four reverses are missing (the both-ways builder's pair has its own already).
    ASSERT_EQ(bulk.size(), 10u);
    EXPECT_EQ(bulk[6], (PairSpec{"10.0.0.3", "10.0.0.2", 8}));
    for (const PairSpec& pair : bulk)
        EXPECT_EQ(pair.streams, 8);
}

TEST(PlanParser, NameDefaultsToTheFileName) {
    const Result<TestPlan> plan = ParsePlan(
        "pairs:\n  - 10.0.0.1,10.0.0.2\nsteps: [{duration: 2}]\n", "/tmp/plans/soak.yaml");
    ASSERT_TRUE(plan) << plan.Why();
    EXPECT_EQ(plan->name, "soak.yaml");
    EXPECT_EQ(plan->repeat, 1);
    EXPECT_EQ(plan->every, std::chrono::seconds(0));
}

// Pairs take IPv6 addresses as --pair does, an IPv4-suffixed one included, and mixed with IPv4.
TEST(PlanParser, PairsTakeIpv6AddressesBesideIpv4Ones) {
    const Result<TestPlan> plan = ParsePlan(
        "pairs:\n  - 2001:db8::11,2001:db8::10\n  - 192.0.2.13,19::2.0.2.10,2\n"
        "steps: [{duration: 2}]\n",
        "v6.yaml");
    ASSERT_TRUE(plan) << plan.Why();
    const std::vector<PairSpec> pairs = StepPairs(*plan, plan->steps[0]);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].endpoint1, "2001:db8::11");
    EXPECT_EQ(pairs[0].endpoint2, "2001:db8::10");
    EXPECT_EQ(pairs[1].endpoint1, "192.0.2.13");
    EXPECT_TRUE(ParseIpAddress(pairs[1].endpoint2).has_value()) << pairs[1].endpoint2;
    EXPECT_FALSE(
        ParsePlan("pairs:\n  - 2001:db8::11,2001:db8::zz\nsteps: [{duration: 2}]\n", "v6.yaml"));

    // Builders too; a text that opens with a bracket is quoted, or YAML reads a list.
    const Result<TestPlan> built = ParsePlan(
        "pairs:\n  - fan-out: \"[2001:db8::9]:[2001:db8::1],192.0.2.1\"\n"
        "  - mesh: 2001:db8::a,2001:db8::b\nsteps: [{duration: 2}]\n",
        "v6.yaml");
    ASSERT_TRUE(built) << built.Why();
    std::vector<std::string> routes;
    for (const PairSpec& pair : StepPairs(*built, built->steps[0]))
        routes.push_back(pair.endpoint1 + ">" + pair.endpoint2);
    EXPECT_EQ(routes,
              (std::vector<std::string>{"2001:db8::9>2001:db8::1", "2001:db8::9>192.0.2.1",
                                        "2001:db8::a>2001:db8::b", "2001:db8::b>2001:db8::a"}));
}

// Each refusal names the file and the line, and says what was expected there.
TEST(PlanParser, RefusesBadPlansNamingTheLine) {
    const std::string head = "name: x\npairs:\n  - 10.0.0.1,10.0.0.2\nsteps:\n  - name: a\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"name: x\nspeed: 5\n",
         "p.yaml:2: unknown key \"speed\" in a plan; expected name, pairs, pass, steps, repeat "
         "or every"},
        {head + "    speed: 5\n", "p.yaml:6: unknown key \"speed\" in a step; expected name, "},
        {head + "    dscp: XX\n", "p.yaml:6: dscp expects CS0-CS7, AF11-AF43, EF or 0-63: XX"},
        {head + "    protocol: udp\n    mss: 1000\n", "p.yaml:7: mss applies to TCP only"},
        {head + "    throughput: 50\n", "p.yaml:6: throughput applies to UDP only"},
        {head + "    protocol: udp\n    length: 10\n", "p.yaml:7: length: "},
        {head + "    duration: 0\n", "p.yaml:6: duration expects seconds from 1 to 259200: 0"},
        {head + "    window: 6\n", "p.yaml:6: window expects a TCP window in MByte"},
        {head + "    protocol: udp\n    throughput: 100001\n",
         "p.yaml:7: throughput expects a UDP throughput in Mbit/s, above 0 and up to 100000: "
         "100001"},
        {head + "    streams: 17\n", "p.yaml:6: streams expects 1 to 16 streams: 17"},
        {head + "    both-ways: maybe\n", "p.yaml:6: both-ways expects true or false: maybe"},
        {head + "    isolate: 0\n", "p.yaml:6: isolate expects seconds from 1 to 3600: 0"},
        {head + "    pass:\n      loss: 120\n",
         "p.yaml:7: loss expects a loss in % from 0 to 100: 120"},
        {head + "    pass:\n      min: fast\n", "p.yaml:7: min expects Mbit/s or a %"},
        {head + "    pass:\n      drop: 5\n", "p.yaml:7: unknown key \"drop\" in pass;"},
        {head + "    name: b\n", "p.yaml:6: name is given twice in a step"},
        {head + "repeat: 0\n", "p.yaml:6: repeat expects a count from 1 to 10000: 0"},
        {head + "every: 1 h\n", "p.yaml:6: every needs a repeat of 2 or more"},
        {head + "repeat: 3\nevery: soon\n", "p.yaml:7: every expects a time from 1 s to 168 h"},
        {"pairs:\n  - 10.0.0.1\nsteps: [{}]\n",
         "p.yaml:2: a pair expects EP1,EP2[,STREAMS]: 10.0.0.1"},
        {"pairs:\n  - 10.0.0.1,10.0.0.2,0\nsteps: [{}]\n", "p.yaml:2: a pair: STREAMS must be"},
        {"pairs:\n  - fan-out: 10.0.0.1:10.0.0.1\nsteps: [{}]\n",
         "p.yaml:2: fan-out pairs 10.0.0.1 with itself"},
        {"pairs:\n  - mesh: 10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4,10.0.0.5\nsteps: [{}]\n",
         "p.yaml:2: The mesh builder would make 20 pairs"},
        {"pairs:\n  - ring: 10.0.0.1,10.0.0.2\nsteps: [{}]\n",
         "p.yaml:2: unknown key \"ring\" in a pairs builder; expected mesh, fan-in, fan-out or "
         "both-ways"},
        {"pairs:\n  - fan-out: 10.0.0.1:10.0.0.2,10.0.0.3,10.0.0.4,10.0.0.5,10.0.0.6,10.0.0.7,"
         "10.0.0.8,10.0.0.9,10.0.0.10\nsteps:\n  - both-ways: true\n",
         "p.yaml:4: Both ways would make 18 pairs"},
        {"pairs: []\nsteps: [{}]\n", "p.yaml:1: pairs expects a list"},
        {"pairs:\n  - 10.0.0.1,10.0.0.2\n", "p.yaml:1: a plan needs steps"},
        {"pairs:\n  - 10.0.0.1,10.0.0.2\nsteps: [{duration: 2}\n", "p.yaml:4: not a YAML plan: "},
        {"- just a list\n", "p.yaml:1: a plan expects keys: name, pairs"},
        {"name: [a, b]\n", "p.yaml:1: name expects a value"},
        {head + "    duration:\n", "p.yaml:6: duration expects a value"},
        {"steps: " + std::string(100000, '[') + std::string(100000, ']') + "\n",
         "p.yaml:1: not a YAML plan: "},
        {std::string("\x01\xff\x00pairs", 8), "p.yaml:"},
    };
    for (const auto& [text, expected] : cases) {
        const Result<TestPlan> plan = ParsePlan(text, "p.yaml");
        ASSERT_FALSE(plan) << text;
        EXPECT_EQ(plan.Why().rfind(expected, 0), 0u) << plan.Why() << "\nfor\n" << text;
    }
}

// A step replaces what the data held before: pairs, their series, settings and lines.
TEST(PlanParser, AStepIsPutIntoTheDataAsItsRun) {
    const Result<TestPlan> plan = ParsePlan(kFullPlan, "floor.yaml");
    ASSERT_TRUE(plan) << plan.Why();
    ConsoleData data;
    data.settings.windowSizeText = "1";
    data.settings.passLines.maxJitterMs = 99.0;
    for (int i = 0; i < 3; ++i)
        data.table.AppendPair(PairConfig{});
    plans::ApplyStep(*plan, plan->steps[0], data);
    EXPECT_EQ(data.settings.protocol, Protocol::Udp);
    EXPECT_EQ(data.settings.throughputText, "2.5");
    EXPECT_EQ(data.settings.windowSizeText, "5");  // the default, not what was there
    EXPECT_EQ(data.settings.durationText, "30");
    EXPECT_EQ(data.settings.passLines.maxJitterMs, 10.0);
    ASSERT_EQ(data.table.PairCount(), 6);
    EXPECT_EQ(data.table[2].config.endpoint1, "10.0.0.4");
    EXPECT_EQ(data.table[2].config.parallel, 4);
    EXPECT_EQ(data.table[6].config.traffic, (TrafficOptions{46, 200, std::nullopt}));

    plans::ApplyStep(*plan, plan->steps[2], data);
    EXPECT_EQ(data.settings.protocol, Protocol::Tcp);
    EXPECT_EQ(data.settings.durationText, "5");
    EXPECT_FALSE(data.settings.passLines.maxJitterMs);
    EXPECT_TRUE(data.table[1].config.traffic.Empty());
    EXPECT_EQ(StepNotice(*plan, 1), "Step 2 of 3: Bulk");
    EXPECT_FALSE(UsesBaseline(*plan));
}

TEST(PlanParser, IntervalsTakeSecondsMinutesAndHours) {
    EXPECT_EQ(IntervalText(std::chrono::hours(2)), "2 h");
    EXPECT_EQ(IntervalText(std::chrono::seconds(900)), "15 min");
    EXPECT_EQ(IntervalText(std::chrono::seconds(90)), "90 s");
    EXPECT_EQ(ParseInterval("90"), std::chrono::seconds(90));
    EXPECT_EQ(ParseInterval("90 s"), std::chrono::seconds(90));
    EXPECT_EQ(ParseInterval("30min"), std::chrono::minutes(30));
    EXPECT_EQ(ParseInterval("1 h"), std::chrono::hours(1));
    for (const char* bad : {"", "h", "1 d", "1.5 h", "-1", "1  h", "9999999999 s"})
        EXPECT_FALSE(ParseInterval(bad)) << bad;
}

TEST(PlanParser, ShippedExamplePlansAreRead) {
    for (const char* name : {"floor-acceptance.yaml", "voice-and-video.yaml"}) {
        const Result<TestPlan> plan =
            LoadPlan(std::string(QUARN_SOURCE_DIR) + "/docs/plans/" + name);
        ASSERT_TRUE(plan) << plan.Why();
        EXPECT_GE(plan->steps.size(), 2u) << name;
    }
    EXPECT_FALSE(LoadPlan(std::string(QUARN_SOURCE_DIR) + "/docs/plans/none.yaml"));
}

}  // namespace
}  // namespace quarn::console::plans
