#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/link_facts.h"
#include "console/core/pair_verdict.h"
#include "console/core/pass_lines.h"
#include "console/core/run_judgement.h"

namespace quarn::console {
namespace {

LinkFacts Link(int speed, int mtu, bool fullDuplex = true) {
    LinkFacts facts;
    facts.interfaceName = "eth0";
    facts.speedMbps = speed;
    facts.mtu = mtu;
    facts.fullDuplex = fullDuplex;
    return facts;
}

PassLines MinMbps(double value) {
    PassLines lines;
    lines.minThroughput = ThroughputLine{value, false};
    return lines;
}

PairMeasure Tcp(std::optional<double> average) {
    PairMeasure measure;
    measure.averageMbps = average;
    return measure;
}

TEST(ExpectedGoodputTest, TcpAndUdpFromTheSlowerEndAndSmallerMtu) {
    const LinkFacts gigabit = Link(1000, 1500);
    const LinkFacts tenGig = Link(10000, 1500);
    const LinkFacts jumbo = Link(10000, 9000);
    const auto tcp = ExpectedGoodputMbps(&gigabit, &tenGig, Protocol::Tcp);
    ASSERT_TRUE(tcp);
    EXPECT_NEAR(*tcp, 941.48, 0.01);  // 1448 / 1538 of 1000
    EXPECT_NEAR(*ExpectedGoodputMbps(&jumbo, &jumbo, Protocol::Tcp), 10000.0 * 8948 / 9038, 0.01);
    EXPECT_NEAR(*ExpectedGoodputMbps(&jumbo, &tenGig, Protocol::Tcp), 9414.8, 0.1);
    // 1470 bytes in one frame of 1470 + 8 + 20 + 38 bytes.
    EXPECT_NEAR(*ExpectedGoodputMbps(&gigabit, &gigabit, Protocol::Udp), 1000.0 * 1470 / 1536,
                0.01);
    // A datagram beyond the MTU travels in fragments, each with its own headers.
    const LinkFacts small = Link(1000, 576);
    EXPECT_NEAR(*ExpectedGoodputMbps(&small, &small, Protocol::Udp),
                1000.0 * 1470 / (1478 + 3 * 58), 0.01);
}

TEST(ExpectedGoodputTest, NothingWithoutBothEndsSpeedAndMtu) {
    const LinkFacts known = Link(1000, 1500);
    LinkFacts noSpeed = known;
    noSpeed.speedMbps.reset();
    LinkFacts noMtu = known;
    noMtu.mtu.reset();
    LinkFacts bogus = Link(1000, 20);
    EXPECT_FALSE(ExpectedGoodputMbps(&known, nullptr, Protocol::Tcp));
    EXPECT_FALSE(ExpectedGoodputMbps(nullptr, &known, Protocol::Tcp));
    EXPECT_FALSE(ExpectedGoodputMbps(&known, &noSpeed, Protocol::Tcp));
    EXPECT_FALSE(ExpectedGoodputMbps(&noMtu, &known, Protocol::Udp));
    EXPECT_FALSE(ExpectedGoodputMbps(&bogus, &known, Protocol::Tcp));
}

TEST(LinkFactsTest, DescribesWhatIsKnown) {
    EXPECT_EQ(DescribeLink(Link(10000, 1500)), "10000 Mbit/s full duplex, MTU 1500");
    LinkFacts wifi;
    wifi.mtu = 1500;
    wifi.wireless = true;
    EXPECT_EQ(DescribeLink(wifi), "MTU 1500, wireless");
    EXPECT_EQ(DescribeLink(LinkFacts{}), "");
}

TEST(PassLinesTest, ParsesOperatorTextsAndRefusesTheRest) {
    EXPECT_EQ(ParseThroughputLine("250"), (ThroughputLine{250.0, false}));
    EXPECT_EQ(ParseThroughputLine("90%"), (ThroughputLine{90.0, true}));
    EXPECT_EQ(ParseThroughputLine("12.5"), (ThroughputLine{12.5, false}));
    for (const char* bad : {"", "%", "-5", "101%", "abc", "25x", "1e3", " 5", "nan", "inf"}) {
        EXPECT_FALSE(ParseThroughputLine(bad)) << bad;
    }
    EXPECT_EQ(ParseLineNumber("0.5", 100.0), 0.5);
    EXPECT_FALSE(ParseLineNumber("100.5", 100.0));
}

TEST(PassLinesTest, PairLinesOverrideTheRunLineByLine) {
    PassLines run = MinMbps(250.0);
    run.maxLossPercent = 0.5;
    PassLines pair;
    pair.minThroughput = ThroughputLine{90.0, true};
    const PassLines lines = EffectiveLines(run, pair);
    EXPECT_EQ(lines.minThroughput, (ThroughputLine{90.0, true}));
    EXPECT_EQ(lines.maxLossPercent, 0.5);
    EXPECT_EQ(EffectiveLines(run, PassLines{}), run);
}

TEST(PassLinesTest, TokensReadBackAsWritten) {
    PassLines lines;
    lines.minThroughput = ThroughputLine{90.0, true};
    lines.maxLossPercent = 0.5;
    lines.maxJitterMs = 1.25;
    lines.maxRttRiseMs = 5.0;
    lines.maxBaselineDropPercent = 10.0;
    const std::vector<std::string> tokens = PassLineTokens(lines);
    EXPECT_EQ(tokens, (std::vector<std::string>{"min=90.00%", "loss=0.50", "jitter=1.25",
                                                "rise=5.00", "drop=10.00"}));
    PassLines read;
    for (const std::string& token : tokens)
        ApplyPassLineToken(token, read);
    ApplyPassLineToken("colour=blue", read);
    ApplyPassLineToken("nonsense", read);
    EXPECT_EQ(read, lines);
    EXPECT_TRUE(PassLineTokens(PassLines{}).empty());
}

TEST(PassLinesTest, FormTextsReadBackAndBadFieldsAreNamed) {
    PassLines lines;
    lines.minThroughput = ThroughputLine{90.0, true};
    lines.maxRttRiseMs = 5.0;
    std::string refusal;
    const PassLineTexts texts = TextsOf(lines);
    EXPECT_EQ(texts.minThroughput, "90.00%");
    EXPECT_EQ(texts.maxLoss, "");
    EXPECT_EQ(ParsePassLineTexts(texts, refusal), lines);
    EXPECT_EQ(ParsePassLineTexts(PassLineTexts{" 250 ", "", " ", "", ""}, refusal), MinMbps(250.0));
    PassLineTexts bad;
    bad.maxLoss = "lots";
    EXPECT_FALSE(ParsePassLineTexts(bad, refusal));
    EXPECT_EQ(refusal, "Loss: a % from 0 to 100");
    bad = PassLineTexts{"fast", "", "", "", ""};
    EXPECT_FALSE(ParsePassLineTexts(bad, refusal));
    EXPECT_EQ(refusal, "Minimum: Mbit/s or a %, such as 250 or 90%");
}

TEST(VerdictTest, AbsoluteLineAtItsEdges) {
    const PassLines lines = MinMbps(250.0);
    const PairVerdict below = JudgePair(lines, Tcp(212.34));
    EXPECT_EQ(below.verdict, Verdict::Fail);
    EXPECT_EQ(below.reasons, std::vector<std::string>{
                                 "average 212.34 Mbit/s is below the pass line 250.00 Mbit/s"});
    // On the line as shown passes, even a float hair under it.
    EXPECT_EQ(JudgePair(lines, Tcp(250.0)).verdict, Verdict::Pass);
    EXPECT_EQ(JudgePair(lines, Tcp(249.999)).verdict, Verdict::Pass);
    EXPECT_EQ(JudgePair(lines, Tcp(249.99)).verdict, Verdict::Fail);
    EXPECT_TRUE(JudgePair(lines, Tcp(300.0)).reasons.empty());

    const PairVerdict none = JudgePair(lines, Tcp(std::nullopt));
    EXPECT_EQ(none.verdict, Verdict::Unchecked);
    EXPECT_EQ(none.reasons,
              std::vector<std::string>{"no average to check against the pass line 250.00 Mbit/s"});
}

TEST(VerdictTest, NoLineIsUncheckedNeverAPass) {
    const PairVerdict verdict = JudgePair(PassLines{}, Tcp(900.0));
    EXPECT_EQ(verdict.verdict, Verdict::Unchecked);
    EXPECT_EQ(verdict.reasons, std::vector<std::string>{"no pass line applies"});
    // Loss and jitter lines say nothing of a TCP run.
    PassLines udpOnly;
    udpOnly.maxLossPercent = 0.5;
    udpOnly.maxJitterMs = 1.0;
    EXPECT_EQ(JudgePair(udpOnly, Tcp(900.0)).verdict, Verdict::Unchecked);
}

TEST(VerdictTest, PercentLineNeedsLinkFacts) {
    PassLines lines;
    lines.minThroughput = ThroughputLine{90.0, true};
    const LinkFacts veth = Link(10000, 1500);
    PairMeasure measure = Tcp(5000.0);
    measure.end1 = &veth;
    const PairVerdict older = JudgePair(lines, measure);
    EXPECT_EQ(older.verdict, Verdict::Unchecked);
    ASSERT_EQ(older.reasons.size(), 1u);
    EXPECT_EQ(older.reasons[0],
              "no expected goodput for the pass line 90.0 %: an end reported no link speed or MTU");

    measure.end2 = &veth;
    const PairVerdict failed = JudgePair(lines, measure);
    EXPECT_EQ(failed.verdict, Verdict::Fail);
    EXPECT_EQ(failed.reasons,
              std::vector<std::string>{"average 5000.00 Mbit/s is below the pass line 8473.34 "
                                       "Mbit/s (90.0 % of the expected 9414.82 Mbit/s)"});
    measure.averageMbps = 8473.34;
    EXPECT_EQ(JudgePair(lines, measure).verdict, Verdict::Pass);
}

TEST(VerdictTest, UdpLossJitterAndRoundTripRise) {
    PassLines lines;
    lines.maxLossPercent = 0.5;
    lines.maxJitterMs = 2.0;
    lines.maxRttRiseMs = 5.0;
    PairMeasure measure;
    measure.udp = true;
    measure.averageMbps = 90.0;
    measure.quality.lossPercent = 3.1;
    measure.quality.jitterAverageMs = 2.0;
    measure.quality.rttIdleMs = 0.5;
    measure.quality.rttLoadedMedianMs = 5.5;
    const PairVerdict verdict = JudgePair(lines, measure);
    EXPECT_EQ(verdict.verdict, Verdict::Fail);
    EXPECT_EQ(verdict.reasons, std::vector<std::string>{"loss 3.10 % is above 0.50 %"});

    measure.quality.lossPercent = 0.5;
    EXPECT_EQ(JudgePair(lines, measure).verdict, Verdict::Pass);
    measure.quality.rttLoadedMedianMs = 5.52;
    EXPECT_EQ(JudgePair(lines, measure).reasons,
              std::vector<std::string>{"round-trip rise 5.02 ms is above 5.00 ms"});

    // A failure does not hide what could not be checked.
    measure.quality.jitterAverageMs.reset();
    const PairVerdict partly = JudgePair(lines, measure);
    EXPECT_EQ(partly.verdict, Verdict::Fail);
    EXPECT_EQ(partly.reasons.size(), 2u);
    EXPECT_EQ(partly.reasons[1], "no jitter figure to check against 2.00 ms");
}

TEST(VerdictTest, BaselineDrop) {
    PassLines lines;
    lines.maxBaselineDropPercent = 20.0;
    PairMeasure measure = Tcp(150.2);
    measure.baselineGiven = true;
    measure.baselineAverageMbps = 299.8;
    EXPECT_EQ(JudgePair(lines, measure).reasons,
              std::vector<std::string>{
                  "average 150.20 Mbit/s is 49.9 % below the baseline 299.80 Mbit/s"});
    measure.averageMbps = 240.0;  // 20.0 % below: on the line
    measure.baselineAverageMbps = 300.0;
    EXPECT_EQ(JudgePair(lines, measure).verdict, Verdict::Pass);
    measure.averageMbps = 400.0;  // above the baseline is no drop
    EXPECT_EQ(JudgePair(lines, measure).verdict, Verdict::Pass);

    measure.baselineAverageMbps.reset();
    const PairVerdict missing = JudgePair(lines, measure);
    EXPECT_EQ(missing.verdict, Verdict::Unchecked);
    EXPECT_EQ(missing.reasons,
              std::vector<std::string>{"the baseline has no average for this pair"});
}

TEST(VerdictTest, RunPassesOnlyWhenNoPairFails) {
    const PairVerdict pass{Verdict::Pass, {}};
    const PairVerdict fail{Verdict::Fail, {"x"}};
    const PairVerdict unchecked{Verdict::Unchecked, {"y"}};
    EXPECT_EQ(RunVerdict({pass, unchecked}), Verdict::Pass);
    EXPECT_EQ(RunVerdict({pass, fail, unchecked}), Verdict::Fail);
    EXPECT_EQ(RunVerdict({unchecked}), Verdict::Unchecked);
    EXPECT_EQ(RunVerdict({}), Verdict::Unchecked);
    EXPECT_STREQ(VerdictWord(Verdict::Unchecked), "unchecked");
    EXPECT_STREQ(VerdictLabel(Verdict::Fail), "FAIL");
}

TEST(LinkNotesTest, NotesThatNeedNoLine) {
    const LinkFacts fast = Link(10000, 9000);
    LinkFacts slow = Link(1000, 1500, false);
    slow.wireless = true;
    PairMeasure measure = Tcp(1000.0);
    measure.end1 = &fast;
    measure.end2 = &slow;
    EXPECT_EQ(
        LinkNotes(measure),
        (std::vector<std::string>{
            "the ends' speeds differ: 10000 and 1000 Mbit/s", "the MTUs differ: 9000 and 1500",
            "End Point 2 runs half duplex", "End Point 2 is wireless",
            "average 1000.00 Mbit/s exceeds the expected 941.48 Mbit/s by more than 5 %: a "
            "wrong link fact or a measuring fault"}));
    measure.end2 = &fast;
    measure.averageMbps = 9000.0;
    EXPECT_TRUE(LinkNotes(measure).empty());
    measure.end2 = nullptr;
    EXPECT_TRUE(LinkNotes(measure).empty());
}

TEST(RunJudgementTest, PairLinesOverrideAndLinksComeFromTheSearch) {
    ConsoleData data;
    for (const char* end2 : {"198.18.2.1", "198.18.3.1", "198.18.4.1"}) {
        PairConfig pair;
        pair.endpoint1 = "198.18.1.1";
        pair.endpoint2 = end2;
        data.table.AppendPair(std::move(pair));
    }
    EXPECT_FALSE(AnyPassLine(data));
    data.settings.passLines.minThroughput = ThroughputLine{90.0, true};
    data.table[2].config.passLines.minThroughput = ThroughputLine{100.0, false};
    data.table[3].config.active = false;
    for (int row = 1; row <= 3; ++row) {
        data.table[row].figures.count = 5;
        data.table[row].figures.average = 500.0f;
    }
    data.links["198.18.1.1"] = Link(1000, 1500);
    data.links["198.18.2.1"] = Link(1000, 1500);
    ASSERT_TRUE(AnyPassLine(data));

    const RunJudgement judged = JudgeRun(data, BaselineAverages{});
    EXPECT_EQ(judged.pairs.size(), 2u);  // the inactive pair is not judged
    const PairJudgement* first = judged.Find(data.table[1].id);
    const PairJudgement* second = judged.Find(data.table[2].id);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->verdict.verdict, Verdict::Fail);  // 500 of 941.48 * 90 %
    ASSERT_TRUE(first->expectedMbps);
    EXPECT_NEAR(*first->expectedMbps, 941.48, 0.01);
    // Its own absolute line applies although End Point 2 reported nothing.
    EXPECT_EQ(second->verdict.verdict, Verdict::Pass);
    EXPECT_FALSE(second->expectedMbps);
    EXPECT_EQ(judged.Find(data.table[3].id), nullptr);
    EXPECT_EQ(judged.run, Verdict::Fail);

    EXPECT_EQ(JudgementLines(*first, true),
              (std::vector<std::string>{"Verdict: FAIL",
                                        "average 500.00 Mbit/s is below the pass line 847.33 "
                                        "Mbit/s (90.0 % of the expected 941.48 Mbit/s)",
                                        "Expected goodput 941.48 Mbit/s"}));
    EXPECT_EQ(JudgementLines(*second, false), std::vector<std::string>{});
}

TEST(RunJudgementTest, VerdictLineCountsThePairsAndTheLogsGetTheirReasons) {
    ConsoleData data;
    for (const char* end2 : {"198.18.2.1", "198.18.3.1", "198.18.4.1"}) {
        PairConfig pair;
        pair.endpoint1 = "198.18.1.1";
        pair.endpoint2 = end2;
        data.table.AppendPair(std::move(pair));
    }
    data.settings.passLines = MinMbps(250.0);
    const float averages[] = {212.34f, 300.0f, 0.0f};
    for (int row = 1; row <= 3; ++row) {
        data.table[row].figures.count = row == 3 ? 0 : 5;  // the third counted nothing
        data.table[row].figures.average = averages[row - 1];
    }
    const RunJudgement judged = JudgeRun(data, BaselineAverages{});
    EXPECT_EQ(RunVerdictLine(judged), "Verdict: FAIL (1 failed, 1 passed, 1 unchecked)");

    data.logs.Of(data.table[1].id).Append("[  3]  0.0- 1.0 sec  25.3 MBytes   212 Mbits/sec");
    const std::vector<PairId> written = LogJudgement(judged, true, data.logs);
    EXPECT_EQ(written.size(), 3u);
    const PairLog& failed = data.logs.Of(data.table[1].id);
    ASSERT_EQ(failed.Size(), 3u);  // the iperf line stays first
    EXPECT_EQ(failed.Text(1), "Verdict: FAIL");
    EXPECT_EQ(failed.Text(2), "average 212.34 Mbit/s is below the pass line 250.00 Mbit/s");
    EXPECT_FALSE(failed.Counted(2));
    EXPECT_EQ(data.logs.Of(data.table[2].id).Text(0), "Verdict: PASS");

    // Without lines and link facts there is nothing to say, so no log is touched.
    data.settings.passLines = {};
    PairLogs untouched;
    EXPECT_TRUE(LogJudgement(JudgeRun(data, {}), false, untouched).empty());
    EXPECT_EQ(untouched.Find(data.table[1].id), nullptr);

    RunJudgement none;
    EXPECT_EQ(RunVerdictLine(none), "Verdict: UNCHECKED");
}

}  // namespace
}  // namespace quarn::console
