#include "console/records/record_source.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "console/records/json_value.h"
#include "console/records/jsonl_stream.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"
#include "tests/unit/console_records/python_check.h"

namespace quarn::console::records {
namespace {

class LineSink : public RecordSink {
  public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    void SecondEnded() override { ++seconds; }
    void RunEnded() override { ++ends; }
    std::vector<std::string> lines;
    int seconds = 0;
    int ends = 0;
};

std::vector<JsonValue> Parsed(const std::vector<std::string>& lines) {
    std::vector<JsonValue> parsed;
    for (const std::string& line : lines) {
        auto value = ParseJson(line);
        EXPECT_TRUE(value.has_value()) << line;
        if (value)
            parsed.push_back(std::move(*value));
    }
    return parsed;
}

TEST(RecordSourceTest, WritesHeadSecondsAndSummariesOfARun) {
    test::FedRun run(3);
    LineSink sink;
    run.recorder.AddSink(sink);
    run.Begin(5);
    run.Feed(5);
    EXPECT_EQ(run.End(true), "completed");

    const std::vector<JsonValue> lines = Parsed(sink.lines);
    ASSERT_EQ(lines.size(), 1u + 5 * 3 + 3 + 1);
    const auto head = DecodeHead(lines[0]);
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(head->run, test::FedRun::kRunId);
    EXPECT_EQ(head->durationText, "5");
    ASSERT_EQ(head->pairs.size(), 3u);
    EXPECT_EQ(head->pairs[2].endpoint1, "198.18.1.3");
    EXPECT_EQ(head->pairs[2].name, "Pair3");

    std::string lastTime;
    for (int second = 1; second <= 5; ++second) {
        for (int pair = 1; pair <= 3; ++pair) {
            const auto record =
                DecodeSecond(lines[static_cast<std::size_t>(second * 3 + pair - 3)]);
            ASSERT_TRUE(record.has_value());
            EXPECT_EQ(record->second, second);
            EXPECT_EQ(record->pair, pair);
            EXPECT_EQ(record->endpoint2, "198.18.2." + std::to_string(pair));
            EXPECT_EQ(record->mbitPerS, run.values[static_cast<std::size_t>(second - 1)]
                                                  [static_cast<std::size_t>(pair - 1)]);
            EXPECT_GE(record->time, lastTime);
            lastTime = record->time;
        }
    }
    const auto pairSummary = DecodePairSummary(lines[16]);
    ASSERT_TRUE(pairSummary.has_value());
    EXPECT_EQ(pairSummary->seconds, 5);
    EXPECT_EQ(pairSummary->state, "Done");
    EXPECT_FLOAT_EQ(static_cast<float>(pairSummary->averageMbitPerS),
                    run.data.table[1].figures.average);
    const auto summary = DecodeRunSummary(lines.back());
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->outcome, "completed");
    EXPECT_EQ(summary->pairs, 3);
    EXPECT_FLOAT_EQ(static_cast<float>(summary->totalAverageMbitPerS),
                    run.data.table.All().figures.average);
    EXPECT_EQ(sink.seconds, 1 + 5);
    EXPECT_EQ(sink.ends, 1);
}

// The head says how each pair's traffic was marked and sized, and reads back; a pair
// without options has none of the keys.
TEST(RecordSourceTest, HeadCarriesEachPairsTrafficOptions) {
    test::FedRun run(2);
    run.data.table[1].config.traffic = {46, 200, 1000};
    LineSink sink;
    run.recorder.AddSink(sink);
    run.Begin(1);
    run.Feed(1);
    run.End(true);
    ASSERT_FALSE(sink.lines.empty());
    const std::string& line = sink.lines[0];
    EXPECT_NE(line.find(R"("dscp":46,"dscp_class":"EF","length":200,"mss":1000)"),
              std::string::npos)
        << line;
    const auto head = DecodeHead(*ParseJson(line));
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(head->pairs[0].traffic, (TrafficOptions{46, 200, 1000}));
    EXPECT_TRUE(head->pairs[1].traffic.Empty());
    EXPECT_EQ(line.find("\"dscp\"", line.find("\"pair\":2")), std::string::npos);
}

TEST(RecordSourceTest, InactivePairsAreListedButHaveNoSeconds) {
    test::FedRun run(3);
    run.data.table[2].config.active = false;
    run.data.table[2].figures.state = PairState::Inactive;
    LineSink sink;
    run.recorder.AddSink(sink);
    run.Begin(10);
    run.Feed(2);
    EXPECT_EQ(run.End(false), "stopped");
    const std::vector<JsonValue> lines = Parsed(sink.lines);
    const auto head = DecodeHead(lines.front());
    ASSERT_TRUE(head.has_value());
    EXPECT_FALSE(head->pairs[1].active);
    int seconds = 0;
    for (const JsonValue& line : lines) {
        if (RecordType(line) == "second") {
            ++seconds;
            EXPECT_NE(line.IntegerAt("pair"), 2);
        }
    }
    EXPECT_EQ(seconds, 2 * 2);
    EXPECT_EQ(DecodeRunSummary(lines.back())->outcome, "stopped");
    EXPECT_EQ(DecodeRunSummary(lines.back())->pairs, 2);
}

TEST(RecordSourceTest, OutcomeFollowsThePairStates) {
    test::FedRun run(2);
    run.Begin(10);
    run.Feed(1);
    run.data.table[2].figures.state = PairState::Error;
    EXPECT_EQ(run.End(false), "failed");
    run.data.table[2].figures.state = PairState::Done;
    run.data.table[1].figures.state = PairState::Done;
    EXPECT_EQ(RunOutcome(run.data.table), "completed");
}

TEST(RunRecordsTest, QualityKeysAppearOnlyWhenKnownAndNamesSurviveEscaping) {
    SecondRecord second;
    second.run = "r";
    second.pair = 4;
    second.name = "Lab \"A\"\n\xEC\x84\x9C";
    second.mbitPerS = 12.5;
    const std::string plain = EncodeSecond(second);
    EXPECT_EQ(plain.find("loss_percent"), std::string::npos);
    EXPECT_EQ(plain.find("jitter_ms"), std::string::npos);
    second.quality.lossPercent = 0.25;
    second.quality.jitterMs = 1.5;
    second.quality.rttMs = 0.125;
    const auto decoded = DecodeSecond(*ParseJson(EncodeSecond(second)));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->name, second.name);
    EXPECT_EQ(decoded->quality.lossPercent, 0.25);
    EXPECT_EQ(decoded->quality.jitterMs, 1.5);
    EXPECT_EQ(decoded->quality.rttMs, 0.125);
    EXPECT_FALSE(DecodeSecond(*ParseJson(R"({"type":"second","run":"r","pair":1})")));
    // More lost than sent is no count at all, whoever wrote the line.
    const auto impossible = DecodeSecond(
        *ParseJson(R"({"type":"second","run":"r","pair":1,"second":1,"mbit_per_s":1,)"
                   R"("run_lost_datagrams":9,"run_total_datagrams":3,"run_rtt_median_ms":4.5})"));
    ASSERT_TRUE(impossible.has_value());
    EXPECT_FALSE(impossible->runQuality.lostDatagrams || impossible->runQuality.totalDatagrams);
    EXPECT_EQ(impossible->runQuality.rttLoadedMedianMs, 4.5);
    EXPECT_FALSE(DecodeHead(*ParseJson(R"({"type":"run","run":"r","pairs":[{"pair":1}]})")));
}

TEST(RunRecordsTest, UtcTimesAreRfc3339AndReadBack) {
    using namespace std::chrono;
    const system_clock::time_point when = sys_days{2026y / 12 / 9} + 1h + 46min + 39s + 123ms;
    EXPECT_EQ(FormatUtc(when), "2026-12-09T01:46:39.123Z");
    EXPECT_EQ(ParseUtc("2026-12-09T01:46:39.123Z"), when);
    EXPECT_EQ(ParseUtc("2026-12-09T01:46:39Z"), when - 123ms);
    EXPECT_FALSE(ParseUtc("2026-12-09T01:46:39"));
    EXPECT_FALSE(ParseUtc("2026-12-09 01:46:39Z"));
    // Times the clock cannot hold, or fields out of their range, are no time.
    for (const char* bad : {"9999-99-99T99:99:99Z", "4052-01-01T00:00:00Z", "1969-12-31T23:59:59Z",
                            "2026-13-01T00:00:00Z", "2026-00-01T00:00:00Z", "2026-12-32T00:00:00Z",
                            "2026-12-09T24:00:00Z", "2026-12-09T01:60:00Z", "2026-12-09T01:46:61Z",
                            "-999-12-09T01:46:39Z", "2026-+1-09T01:46:39Z"}) {
        EXPECT_FALSE(ParseUtc(bad)) << bad;
    }
    EXPECT_EQ(NewRunId(when).substr(0, 16), "20261209-014639-");
}

TEST(JsonlStreamTest, PythonValidatesEveryLineOfARun) {
    test_support::TempDir dir;
    test::FedRun run(2, 4);
    run.data.table[1].name = "tab\there \"quoted\"";
    JsonlStream stream;
    ASSERT_TRUE(stream.Open(dir.File("run.jsonl")));
    run.recorder.AddSink(stream);
    run.Begin(3);
    run.Feed(3);
    run.End(true);
    stream.Close();
    EXPECT_TRUE(stream.Good());
    const std::string script = R"(
import json, sys, re
rfc3339 = re.compile(r'^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d+)?Z$')
lines = open(sys.argv[1], encoding='utf-8').read().split('\n')
assert lines[-1] == '', 'the last line ends with LF'
records = [json.loads(l) for l in lines[:-1]]
assert records[0]['type'] == 'run' and len(records[0]['pairs']) == 2
seconds = [r for r in records if r['type'] == 'second']
assert len(seconds) == 6, len(seconds)
for r in seconds:
    assert rfc3339.match(r['time']), r['time']
    assert isinstance(r['mbit_per_s'], (int, float)) and 200 < r['mbit_per_s'] < 260, r
    assert r['run'] == records[0]['run']
    assert isinstance(r['pair'], int) and r['endpoint1'].startswith('198.18.1.')
assert seconds[0]['name'] == 'tab\there "quoted"'
assert [r['type'] for r in records[-3:]] == ['pair_summary', 'pair_summary', 'run_summary']
assert records[-1]['outcome'] == 'completed' and records[-1]['seconds'] == 3
)";
    EXPECT_EQ(test::RunPythonCheck(dir.Path(), script, dir.File("run.jsonl")), 0);
}

TEST(JsonlStreamTest, RefusesAPathThatCannotBeCreated) {
    JsonlStream stream;
    EXPECT_FALSE(stream.Open("/nonexistent-dir/run.jsonl"));
    EXPECT_FALSE(stream.Good());
    stream.Write("{}");
    stream.SecondEnded();
}

}  // namespace
}  // namespace quarn::console::records
