#include "console/headless/verdict_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/headless/headless_options.h"
#include "console/headless/terminal_view.h"

namespace quarn::console {
namespace {

Result<HeadlessOptions> ParsePassLines(std::vector<std::string> args) {
    args.insert(args.begin(), "Quarn_Console");
    return ParseHeadlessOptions(args);
}

TEST(PassLineOptionsTest, ReadsEveryLine) {
    const Result<HeadlessOptions> r = ParsePassLines(
        {"--pass-min", "90%", "--pass-loss=0.5", "--pass-jitter", "2", "--pass-rtt-rise", "5.5",
         "--baseline", "20261209-014639-3fa2", "--pass-baseline", "10"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    const PassLines& lines = r->passLines;
    EXPECT_EQ(lines.minThroughput, (ThroughputLine{90.0, true}));
    EXPECT_EQ(lines.maxLossPercent, 0.5);
    EXPECT_EQ(lines.maxJitterMs, 2.0);
    EXPECT_EQ(lines.maxRttRiseMs, 5.5);
    EXPECT_EQ(lines.maxBaselineDropPercent, 10.0);
    EXPECT_EQ(r->baselinePath, "20261209-014639-3fa2");
    EXPECT_EQ(ParsePassLines({"--pass-min", "250"})->passLines.minThroughput,
              (ThroughputLine{250.0, false}));
}

TEST(PassLineOptionsTest, MalformedValuesAreRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"--pass-min", "fast"},    {"--pass-min", "-1"},      {"--pass-min", "120%"},
        {"--pass-loss", "101"},    {"--pass-loss", "0.5%"},   {"--pass-jitter", "1ms"},
        {"--pass-rtt-rise", ""},   {"--pass-baseline", "-3"}, {"--pass-min"},
        {"--pass-baseline", "10"},  // no baseline to drop from
    };
    for (const auto& args : bad) {
        EXPECT_NE(ParsePassLines(args).Why(), "") << args[0];
    }
    EXPECT_NE(ParsePassLines({"--pass-min", "fast"}).Why().find("fast"), std::string::npos);
    EXPECT_EQ(ParsePassLines({"--pass-baseline", "10"}).Why(),
              "--pass-baseline needs --baseline FILE|ID");
}

TEST(PassLineOptionsTest, HelpNamesTheLinesAndExitStatusThree) {
    const std::string usage = HeadlessUsage("Quarn_Console");
    for (const char* option : {"--pass-min MBPS|PCT%", "--pass-loss PCT", "--pass-jitter MS",
                               "--pass-rtt-rise MS", "--baseline FILE|ID", "--pass-baseline PCT"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_NE(usage.find("3 for a completed run in which a pair fails"), std::string::npos);
}

ConsoleData JudgedPairs() {
    ConsoleData data;
    for (const char* end2 : {"198.18.0.12", "198.18.0.13"}) {
        PairRecord pair;
        pair.config.endpoint1 = "198.18.0.11";
        pair.config.endpoint2 = end2;
        pair.figures.statusText = "Done";
        pair.figures.count = 5;
        pair.figures.average = 212.34f;
        data.table.AppendPair(pair);
    }
    data.table[2].figures.average = 300.0f;
    data.settings.passLines.minThroughput = ThroughputLine{250.0, false};
    LinkFacts link;
    link.speedMbps = 1000;
    link.mtu = 1500;
    data.links["198.18.0.11"] = link;
    link.mtu = 9000;
    data.links["198.18.0.12"] = link;
    data.judgement = JudgeRun(data, BaselineAverages{});
    return data;
}

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(VerdictTableTest, VerdictColumnThenReasonsAndNotesUnderTheTable) {
    const std::vector<std::string> lines = TextLines(FormatPairTable(JudgedPairs()));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_NE(lines[0].find("RTT load  Verdict    (Mbit/s, ms)"), std::string::npos) << lines[0];
    EXPECT_TRUE(lines[1].ends_with("  FAIL")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with("  PASS")) << lines[2];
    EXPECT_TRUE(lines[3].ends_with("  FAIL")) << lines[3];  // the All row: the run
    EXPECT_EQ(lines[4], "Pair1 FAIL: average 212.34 Mbit/s is below the pass line 250.00 Mbit/s");
    EXPECT_EQ(lines[5], "Pair1 note: the MTUs differ: 1500 and 9000");
    EXPECT_EQ(lines[6], "Run verdict: FAIL");
}

TEST(VerdictTableTest, NoLineNoColumnButNotesStay) {
    ConsoleData data = JudgedPairs();
    data.settings.passLines = {};
    data.judgement = JudgeRun(data, BaselineAverages{});
    const std::string text = FormatPairTable(data);
    EXPECT_EQ(text.find("Verdict"), std::string::npos);
    EXPECT_EQ(text.find("UNCHECKED"), std::string::npos);
    EXPECT_NE(text.find("Pair1 note: the MTUs differ"), std::string::npos);
    // Not judged at all: the table is as it always was.
    data.judgement.reset();
    EXPECT_EQ(FormatVerdictReasons(data), "");
    EXPECT_EQ(VerdictCell(data, data.table[1], false), "");
}

TEST(EndPointListTest, LinksGoBetweenAddressAndName) {
    ConsoleData data;
    EndPointEntry veth{"198.18.0.2", "5001", "45000", "Linux 2", "Linux 2", "(Linux 2"};
    veth.link = LinkFacts{"veth1", 10000, true, 1500, false, {}};
    EndPointEntry older{"198.18.0.3", "5001", "45000", "Linux 3", "Linux 3", "(Linux 3"};
    EndPointEntry unnamed{"198.18.0.4", "5001", "45000", "", "", ""};
    unnamed.link = LinkFacts{"wlan0", std::nullopt, std::nullopt, 1500, true, {}};
    data.endPoints = {veth, older, unnamed};
    EXPECT_EQ(FormatEndPointList(data),
              "198.18.0.2       10000 Mbit/s full duplex, MTU 1500  Linux 2\n"
              "198.18.0.3                                           Linux 3\n"
              "198.18.0.4       MTU 1500, wireless\n");
    data.endPoints = {older};
    EXPECT_EQ(FormatEndPointList(data), "198.18.0.3       Linux 3\n");
}

}  // namespace
}  // namespace quarn::console
