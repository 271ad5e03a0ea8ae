#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "console/records/json_value.h"
#include "console/records/metrics_text.h"
#include "console/records/record_format.h"
#include "console/records/verdict_records.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"

namespace quarn::console::records {
namespace {

LinkFacts Veth() {
    LinkFacts link;
    link.interfaceName = "veth1";
    link.speedMbps = 10000;
    link.fullDuplex = true;
    link.mtu = 1500;
    return link;
}

// The lines docs/records.md shows, byte for byte.
TEST(VerdictRecordsTest, HeadCarriesPassLinesAndLinkFacts) {
    RunHead head;
    head.run = "20261209-014639-3fa2";
    head.started = "2026-12-09T01:46:39.120Z";
    head.durationText = "60";
    head.windowText = "5";
    head.throughputText = "100";
    head.passLines.minThroughput = ThroughputLine{90.0, true};
    head.passLines.maxRttRiseMs = 5.0;
    PairHead pair;
    pair.pair = 1;
    pair.name = "Pair1";
    pair.endpoint1 = "198.18.1.1";
    pair.endpoint2 = "198.18.2.1";
    pair.passLines.minThroughput = ThroughputLine{250.0, false};
    pair.endpoint1Link = Veth();
    head.pairs.push_back(pair);
    EXPECT_EQ(EncodeHead(head),
              R"({"type":"run","schema":1,"run":"20261209-014639-3fa2",)"
              R"("started":"2026-12-09T01:46:39.120Z","duration_s":"60","protocol":"tcp",)"
              R"("window_mbyte":"5","throughput_mbit_per_s":"100",)"
              R"("pass_lines":{"min_percent_of_expected":90,"max_rtt_rise_ms":5},)"
              R"("pairs":[{"pair":1,"name":"Pair1","endpoint1":"198.18.1.1",)"
              R"("endpoint2":"198.18.2.1","streams":1,"active":true,"show_address":true,)"
              R"("pass_lines":{"min_mbit_per_s":250},"endpoint1_link":{"interface":"veth1",)"
              R"("speed_mbit_per_s":10000,"duplex":"full","mtu":1500,"wireless":false}}]})");
    // Without lines and link facts the head is as it always was.
    head.passLines = {};
    head.pairs[0].passLines = {};
    head.pairs[0].endpoint1Link.reset();
    EXPECT_EQ(EncodeHead(head).find("pass_lines"), std::string::npos);
    EXPECT_EQ(EncodeHead(head).find("_link"), std::string::npos);
    ASSERT_TRUE(DecodeHead(*ParseJson(EncodeHead(head))));
}

TEST(VerdictRecordsTest, SummariesCarryTheVerdicts) {
    PairSummary pair;
    pair.time = "2026-12-09T01:47:42.200Z";
    pair.run = "20261209-014639-3fa2";
    pair.pair = 1;
    pair.name = "Pair1";
    pair.endpoint1 = "198.18.1.1";
    pair.endpoint2 = "198.18.2.1";
    pair.seconds = 60;
    pair.averageMbitPerS = 212.34;
    pair.minMbitPerS = 200;
    pair.maxMbitPerS = 220.5;
    pair.state = "Done";
    const std::string unjudged = EncodePairSummary(pair);
    EXPECT_EQ(unjudged.find("verdict"), std::string::npos);
    pair.verdict = "fail";
    pair.verdictReasons = {"average 212.34 Mbit/s is below the pass line 250.00 Mbit/s"};
    pair.notes = {"the MTUs differ: 1500 and 9000"};
    pair.expectedMbitPerS = 941.48;
    EXPECT_EQ(EncodePairSummary(pair),
              R"({"type":"pair_summary","time":"2026-12-09T01:47:42.200Z",)"
              R"("run":"20261209-014639-3fa2","pair":1,"name":"Pair1","endpoint1":"198.18.1.1",)"
              R"("endpoint2":"198.18.2.1","seconds":60,"average_mbit_per_s":212.34,)"
              R"("min_mbit_per_s":200,"max_mbit_per_s":220.5,"state":"Done",)"
              R"("expected_mbit_per_s":941.48,"verdict":"fail","verdict_reasons":)"
              R"(["average 212.34 Mbit/s is below the pass line 250.00 Mbit/s"],)"
              R"("notes":["the MTUs differ: 1500 and 9000"]})");
    const auto decoded = DecodePairSummary(*ParseJson(EncodePairSummary(pair)));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->state, "Done");

    RunSummary run;
    run.run = "20261209-014639-3fa2";
    run.outcome = "completed";
    EXPECT_EQ(EncodeRunSummary(run).find("verdict"), std::string::npos);
    run.verdict = "fail";
    const std::string text = EncodeRunSummary(run);
    EXPECT_TRUE(text.ends_with(R"("total_max_mbit_per_s":0,"verdict":"fail"})")) << text;
}

void ExpectSameLink(const std::optional<LinkFacts>& read, const LinkFacts& written) {
    ASSERT_TRUE(read);
    EXPECT_EQ(read->interfaceName, written.interfaceName);
    EXPECT_EQ(read->speedMbps, written.speedMbps);
    EXPECT_EQ(read->fullDuplex, written.fullDuplex);
    EXPECT_EQ(read->mtu, written.mtu);
    EXPECT_EQ(read->wireless, written.wireless);
}

// What --compare, the history and a reference read is what was written.
TEST(VerdictRecordsTest, DecodersReadTheVerdictsLinesAndLinksBack) {
    RunHead head;
    head.run = "20261209-014639-3fa2";
    head.passLines.minThroughput = ThroughputLine{90.0, true};
    head.passLines.maxLossPercent = 0.5;
    head.passLines.maxBaselineDropPercent = 10.0;
    PairHead pair;
    pair.pair = 3;
    pair.endpoint1 = "198.18.1.1";
    pair.endpoint2 = "198.18.2.1";
    pair.passLines.minThroughput = ThroughputLine{250.5, false};
    pair.passLines.maxJitterMs = 1.25;
    pair.passLines.maxRttRiseMs = 5.0;
    pair.endpoint1Link = Veth();
    LinkFacts radio;
    radio.interfaceName = "wlan0";
    radio.fullDuplex = false;
    radio.wireless = true;  // no speed, no MTU
    pair.endpoint2Link = radio;
    PairHead older;
    older.pair = 4;
    older.endpoint1 = "198.18.1.1";
    older.endpoint2 = "198.18.3.1";
    head.pairs = {pair, older};
    const std::optional<RunHead> read = DecodeHead(*ParseJson(EncodeHead(head)));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->passLines, head.passLines);
    ASSERT_EQ(read->pairs.size(), 2u);
    EXPECT_EQ(read->pairs[0].passLines, pair.passLines);
    ExpectSameLink(read->pairs[0].endpoint1Link, Veth());
    ExpectSameLink(read->pairs[0].endpoint2Link, radio);
    EXPECT_TRUE(read->pairs[1].passLines.Empty());
    EXPECT_FALSE(read->pairs[1].endpoint1Link);  // an older EndPoint's end

    PairSummary summary;
    summary.run = head.run;
    summary.pair = 3;
    summary.verdict = "unchecked";
    summary.verdictReasons = {"no expected goodput: End Point 2 reported no link",
                              "quote \" and \u00e9"};
    summary.notes = {"End Point 2 is wireless"};
    summary.expectedMbitPerS = 941.48;
    const auto back = DecodePairSummary(*ParseJson(EncodePairSummary(summary)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->verdict, "unchecked");
    EXPECT_EQ(back->verdictReasons, summary.verdictReasons);
    EXPECT_EQ(back->notes, summary.notes);
    EXPECT_EQ(back->expectedMbitPerS, std::optional<double>(941.48));
    RunSummary run;
    run.run = head.run;
    run.outcome = "completed";
    run.verdict = "pass";
    EXPECT_EQ(DecodeRunSummary(*ParseJson(EncodeRunSummary(run)))->verdict, "pass");
}

// A damaged or foreign line gives no line nor link rather than a wrong one.
TEST(VerdictRecordsTest, DecodersLeaveOutWhatIsNoFigure) {
    const auto lines =
        ParseJson(R"({"min_percent_of_expected":150,"max_loss_percent":-1,"max_jitter_ms":"2",)"
                  R"("max_rtt_rise_ms":null,"max_baseline_drop_percent":12.5,"later":1})");
    ASSERT_TRUE(lines);
    const PassLines readLines = DecodePassLines(*lines);
    EXPECT_FALSE(readLines.minThroughput);  // above 100 %
    EXPECT_FALSE(readLines.maxLossPercent);
    EXPECT_FALSE(readLines.maxJitterMs);
    EXPECT_FALSE(readLines.maxRttRiseMs);
    EXPECT_EQ(readLines.maxBaselineDropPercent, std::optional<double>(12.5));
    const auto link = ParseJson(
        R"({"interface":7,"speed_mbit_per_s":-10,"duplex":"both","mtu":99999999999,"wireless":1})");
    ASSERT_TRUE(link);
    const std::optional<LinkFacts> facts = DecodeLinkFacts(*link);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->interfaceName, "");
    EXPECT_FALSE(facts->speedMbps);
    EXPECT_FALSE(facts->fullDuplex);
    EXPECT_FALSE(facts->mtu);
    EXPECT_FALSE(facts->wireless);
    EXPECT_FALSE(DecodeLinkFacts(*ParseJson("[1]")));

    const auto summary = ParseJson(
        R"({"type":"pair_summary","run":"r","pair":1,"verdict":"maybe","verdict_reasons":["x"],)"
        R"("notes":["a",2,"b"]})");
    ASSERT_TRUE(summary);
    const auto read = DecodePairSummary(*summary);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->verdict.empty());
    EXPECT_TRUE(read->verdictReasons.empty());
    EXPECT_EQ(read->notes, (std::vector<std::string>{"a", "b"}));
}

TEST(VerdictRecordsTest, MetricsGaugeOfEachJudgedPair) {
    RunMetrics metrics;
    PairMetrics pair;
    pair.pair = 1;
    pair.endpoint1 = "198.18.1.1";
    pair.endpoint2 = "198.18.2.1";
    pair.names = "PC-A -> 198.18.2.1";
    metrics.pairs.push_back(pair);
    EXPECT_EQ(RenderMetrics(metrics).find("quarn_pair_verdict"), std::string::npos);
    metrics.pairs[0].verdict = "fail";
    const std::string page = RenderMetrics(metrics);
    const std::string labels =
        R"(pair="1",endpoint1="198.18.1.1",endpoint2="198.18.2.1",names="PC-A -> 198.18.2.1")";
    EXPECT_NE(page.find("# TYPE quarn_pair_verdict gauge\n"
                        "quarn_pair_verdict{" +
                        labels + R"(,verdict="pass"} 0)" + "\nquarn_pair_verdict{" + labels +
                        R"(,verdict="fail"} 1)" + "\nquarn_pair_verdict{" + labels +
                        R"(,verdict="unchecked"} 0)" + "\n"),
              std::string::npos)
        << page;
    if (std::system("command -v promtool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
    test_support::TempDir dir;
    std::ofstream(dir.File("page.txt")) << page;
    const std::string command = "promtool check metrics < " + dir.File("page.txt") + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

class SummaryLines : public RecordSink {
  public:
    void Write(std::string_view line) override {
        auto value = ParseJson(std::string(line));
        if (value && (RecordType(*value) == "pair_summary" || RecordType(*value) == "run_summary"))
            lines.push_back(std::move(*value));
    }
    void SecondEnded() override {}
    void RunEnded() override {}
    std::vector<JsonValue> lines;
};

TEST(VerdictRecordsTest, RecorderWritesTheJudgementOnlyWithLines) {
    for (const bool withLine : {false, true}) {
        test::FedRun run(2);
        SummaryLines sink;
        run.recorder.AddSink(sink);
        if (withLine)
            run.data.settings.passLines.minThroughput = ThroughputLine{1e6, false};
        run.data.links["198.18.1.1"] = Veth();
        run.Begin(3);
        run.Feed(3);
        run.data.judgement = JudgeRun(run.data, BaselineAverages{});
        run.End(true);
        ASSERT_EQ(sink.lines.size(), 3u);
        const JsonValue& first = sink.lines[0];
        EXPECT_EQ(first.StringAt("verdict").has_value(), withLine);
        EXPECT_EQ(sink.lines[2].StringAt("verdict").has_value(), withLine);
        if (withLine) {
            EXPECT_EQ(first.StringAt("verdict").value_or(""), "fail");
            EXPECT_EQ(sink.lines[2].StringAt("verdict").value_or(""), "fail");
        }
        // Only End Point 1 reported its link: no expected figure.
        EXPECT_FALSE(first.NumberAt("expected_mbit_per_s").has_value());
    }
}

}  // namespace
}  // namespace quarn::console::records
