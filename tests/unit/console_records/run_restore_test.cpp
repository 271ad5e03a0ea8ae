#include "console/records/run_restore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

#include "console/core/chart_model.h"
#include "console/core/local_time.h"
#include "console/records/journal_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"

namespace quarn::console::records {
namespace {

void ExpectSameRow(const PairRecord& restored, const PairRecord& live, int row) {
    SCOPED_TRACE("row " + std::to_string(row));
    EXPECT_EQ(restored.config.endpoint1, live.config.endpoint1);
    EXPECT_EQ(restored.config.endpoint2, live.config.endpoint2);
    EXPECT_EQ(restored.config.parallel, live.config.parallel);
    EXPECT_EQ(restored.config.active, live.config.active);
    EXPECT_EQ(restored.figures.count, live.figures.count);
    EXPECT_EQ(restored.figures.countText, live.figures.countText);
    EXPECT_EQ(restored.figures.currentText, live.figures.currentText);
    EXPECT_EQ(restored.figures.averageText, live.figures.averageText);
    EXPECT_EQ(restored.figures.minText, live.figures.minText);
    EXPECT_EQ(restored.figures.maxText, live.figures.maxText);
    EXPECT_EQ(restored.figures.average, live.figures.average);
    EXPECT_EQ(restored.figures.min, live.figures.min);
    EXPECT_EQ(restored.figures.max, live.figures.max);
    EXPECT_EQ(restored.figures.sum, live.figures.sum);
    EXPECT_EQ(restored.figures.peakSingle, live.figures.peakSingle);
}

void ExpectSameSeries(const ChartModel& restored, const ChartModel& live) {
    ASSERT_EQ(restored.Series().size(), live.Series().size());
    for (std::size_t s = 0; s < live.Series().size(); ++s) {
        ASSERT_EQ(restored.Series()[s].size(), live.Series()[s].size()) << s;
        for (std::size_t i = 0; i < live.Series()[s].size(); ++i)
            ASSERT_EQ(restored.Series()[s][i].value, live.Series()[s][i].value) << s << ":" << i;
    }
    EXPECT_EQ(restored.RunLength(), live.RunLength());
    EXPECT_EQ(restored.TickStep(), live.TickStep());
}

class RunRestoreTest : public ::testing::Test {
  protected:
    // A run of four pairs, the third inactive, journalled for `seconds` seconds;
    // `beforeSecond` may set figures before each second is fed.
    void Record(int seconds, bool end, const std::function<void(int)>& beforeSecond = {}) {
        run.data.table[3].config.active = false;
        run.data.table[3].figures.state = PairState::Inactive;
        run.data.nameLookup["198.18.1.1"] = "Lab \"one\"";
        run.data.settings.protocol = udp ? Protocol::Udp : Protocol::Tcp;
        run.data.settings.windowSizeText = "2";
        ASSERT_TRUE(journal.Open(dir.File("run.jsonl.zst")));
        run.recorder.AddSink(journal);
        run.Begin(300, udp);
        for (int second = 1; second <= seconds; ++second) {
            if (beforeSecond)
                beforeSecond(second);
            run.Feed(1);
        }
        if (end)
            run.End(false);
        else
            ASSERT_TRUE(journal.WaitWritten(std::chrono::seconds(10)));
        run.data.chart.FinishRun(run.data.ticks, ChartScaleSource::From(run.data.table));
    }

    test_support::TempDir dir;
    test::FedRun run{4, 3};
    bool udp = false;
    JournalWriter journal;
};

TEST_F(RunRestoreTest, AFinishedRunComesBackWithTheFiguresAndCurvesItEndedWith) {
    Record(137, true);
    const auto content = ReadJournal(dir.File("run.jsonl.zst"));
    ASSERT_TRUE(content && content->Finished());
    ConsoleData restored;
    RestoreRun(*content, restored);
    ASSERT_EQ(restored.table.Size(), run.data.table.Size());
    for (int row = 0; row < run.data.table.Size(); ++row)
        ExpectSameRow(restored.table[row], run.data.table[row], row);
    EXPECT_EQ(restored.table[1].figures.state, PairState::Stopped);
    EXPECT_EQ(restored.table[1].figures.statusText, "Stopped");
    EXPECT_EQ(restored.table[3].figures.state, PairState::Inactive);
    EXPECT_EQ(restored.ticks, 137);
    EXPECT_EQ(restored.settings.windowSizeText, "2");
    EXPECT_EQ(restored.settings.durationText, "300");
    EXPECT_EQ(restored.DisplayName("198.18.1.1"), "Lab \"one\"");
    EXPECT_EQ(restored.table.All().config.showTotal, 1);
    EXPECT_FALSE(restored.measuredAt.empty());
    ExpectSameSeries(restored.chart, run.data.chart);
}

TEST_F(RunRestoreTest, ARestoredRunKeepsItsPassLinesAndLinks) {
    run.data.settings.passLines.maxLossPercent = 0.5;
    run.data.table[2].config.passLines.minThroughput = ThroughputLine{90.0, true};
    LinkFacts veth;
    veth.interfaceName = "veth1";
    veth.speedMbps = 10000;
    veth.mtu = 9000;
    run.data.links[run.data.table[2].config.endpoint2] = veth;
    Record(3, true);
    const auto content = ReadJournal(dir.File("run.jsonl.zst"));
    ASSERT_TRUE(content && content->Finished());
    ConsoleData restored;
    RestoreRun(*content, restored);
    EXPECT_EQ(restored.settings.passLines, run.data.settings.passLines);
    EXPECT_EQ(restored.table[2].config.passLines, run.data.table[2].config.passLines);
    EXPECT_TRUE(restored.table[1].config.passLines.Empty());
    const auto link = restored.links.find(run.data.table[2].config.endpoint2);
    ASSERT_NE(link, restored.links.end());
    EXPECT_EQ(link->second.interfaceName, "veth1");
    EXPECT_EQ(link->second.mtu, std::optional<int>(9000));
    EXPECT_EQ(restored.links.count(run.data.table[2].config.endpoint1), 0u);
}

TEST_F(RunRestoreTest, AnUnfinishedRunStopsAtItsLastJournalledSecond) {
    Record(45, false);
    const auto content = ReadJournal(dir.File("run.jsonl.zst"));
    ASSERT_TRUE(content.has_value());
    EXPECT_FALSE(content->Finished());
    ConsoleData restored;
    RestoreRun(*content, restored);
    for (int row = 0; row < run.data.table.Size(); ++row)
        ExpectSameRow(restored.table[row], run.data.table[row], row);
    for (int row : {1, 2, 4})
        EXPECT_EQ(restored.table[row].figures.statusText, "Stopped");
    EXPECT_EQ(restored.ticks, 45);
    ExpectSameSeries(restored.chart, run.data.chart);
    // measuredAt is the local time of the last journalled second.
    EXPECT_EQ(restored.measuredAt, FormatMeasuredAt(*ParseUtc(content->lastTime)));
}

TEST_F(RunRestoreTest, ARestoredRunDrawsTheRoundTripAndLossCurvesTheLiveRunDrew) {
    // Round trips with unanswered seconds, and loss on one pair only: gaps must stay gaps.
    udp = true;
    Record(137, true, [this](int second) {
        for (int row : {1, 2, 4}) {
            PairQuality& quality = run.data.table[row].figures.quality;
            quality.lastRttMs =
                second % 20 < 4 ? std::nullopt : std::optional<double>(row * 10.0 + second * 0.25);
            quality.lastLossPercent =
                row == 2 ? std::optional<double>((second % 5) * 1.5) : std::nullopt;
        }
    });
    const auto content = ReadJournal(dir.File("run.jsonl.zst"));
    ASSERT_TRUE(content.has_value());
    ConsoleData restored;
    RestoreRun(*content, restored);
    for (const ChartMeasure measure : {ChartMeasure::Latency, ChartMeasure::Loss}) {
        const auto& live = run.data.chart.SeriesOf(measure);
        const auto& back = restored.chart.SeriesOf(measure);
        ASSERT_EQ(back.size(), live.size());
        for (std::size_t s = 0; s < live.size(); ++s) {
            ASSERT_EQ(back[s].size(), live[s].size()) << s;
            for (std::size_t i = 0; i < live[s].size(); ++i)
                ASSERT_EQ(back[s][i].value, live[s][i].value) << s << ":" << i;
        }
    }
    // What was compared holds curves and gaps, not only one or the other.
    const auto drawn = [](const ChartSeries& series) {
        return std::count_if(series.begin(), series.end(),
                             [](const ChartPoint& point) { return point.value >= 0.0f; });
    };
    const ChartSeries& rtt = restored.chart.SeriesOf(ChartMeasure::Latency)[4];
    EXPECT_GT(drawn(rtt), 30);
    EXPECT_LT(drawn(rtt), static_cast<long>(rtt.size()));
    const auto highest = std::max_element(
        rtt.begin(), rtt.end(),
        [](const ChartPoint& a, const ChartPoint& b) { return a.value < b.value; });
    EXPECT_GT(highest->value, 40.0f);  // pair 4's own round trips, not another pair's
    const auto& loss = restored.chart.SeriesOf(ChartMeasure::Loss);
    EXPECT_EQ(drawn(loss[1]), 0);
    EXPECT_GT(drawn(loss[2]), 30);
    EXPECT_TRUE(loss[3].empty());  // the inactive pair has no seconds at all
}

TEST_F(RunRestoreTest, ARecoveredRunShowsTheLinkFiguresTheLiveRunShowedAtItsLastSecond) {
    // Run figures that change every second: only the last journalled second's may come back.
    udp = true;
    Record(61, false, [this](int second) {
        for (int row : {1, 2, 4}) {
            PairQuality& quality = run.data.table[row].figures.quality;
            quality.lostDatagrams = row * second;
            quality.totalDatagrams = 1000LL * second;
            quality.lossPercent = LossPercentOf(quality.lostDatagrams, quality.totalDatagrams);
            quality.jitterAverageMs = 0.1 * row + 0.001 * second;
            quality.jitterMaxMs = 0.5 * row + 0.01 * second;
            quality.rttIdleMs = 0.2 * row;
            quality.rttLoadedMedianMs = 10.0 * row + 0.1 * second;
            quality.rttLoadedP95Ms = row == 4 ? std::nullopt : std::optional<double>(30.0 + second);
            quality.lastRttMs = 11.0 * row;
        }
    });
    const auto content = ReadJournal(dir.File("run.jsonl.zst"));
    ASSERT_TRUE(content && !content->Finished());
    ConsoleData restored;
    RestoreRun(*content, restored);
    for (int row : {1, 2, 4}) {
        SCOPED_TRACE("row " + std::to_string(row));
        const PairQuality& live = run.data.table[row].figures.quality;
        const PairQuality& back = restored.table[row].figures.quality;
        ASSERT_TRUE(live.rttLoadedMedianMs && live.lossPercent);
        EXPECT_EQ(back.lostDatagrams, live.lostDatagrams);
        EXPECT_EQ(back.totalDatagrams, live.totalDatagrams);
        EXPECT_EQ(back.lossPercent, live.lossPercent);
        EXPECT_EQ(back.jitterAverageMs, live.jitterAverageMs);
        EXPECT_EQ(back.jitterMaxMs, live.jitterMaxMs);
        EXPECT_EQ(back.rttIdleMs, live.rttIdleMs);
        EXPECT_EQ(back.rttLoadedMedianMs, live.rttLoadedMedianMs);
        EXPECT_EQ(back.rttLoadedP95Ms, live.rttLoadedP95Ms);
        EXPECT_EQ(back.lastRttMs, live.lastRttMs);
    }
    // The All row's loss is lost/total over the pairs, not a mean of their percentages.
    const PairQuality& all = restored.table.All().figures.quality;
    EXPECT_EQ(all.lostDatagrams, (1 + 2 + 4) * 61);
    EXPECT_EQ(all.totalDatagrams, 3 * 1000 * 61);
    EXPECT_FALSE(restored.table[3].figures.quality.lossPercent.has_value());
}

TEST_F(RunRestoreTest, ATcpRunDrawsNoLossWhateverTheJournalSays) {
    Record(20, true, [this](int) { run.data.table[1].figures.quality.lastLossPercent = 3.0; });
    const auto content = ReadJournal(dir.File("run.jsonl.zst"));
    ASSERT_TRUE(content.has_value());
    ASSERT_TRUE(content->quality.at(1)[0].lossPercent.has_value());
    ConsoleData restored;
    RestoreRun(*content, restored);
    const ChartSeries& loss = restored.chart.SeriesOf(ChartMeasure::Loss)[1];
    ASSERT_EQ(loss.size(), 20u);
    EXPECT_TRUE(std::all_of(loss.begin(), loss.end(),
                            [](const ChartPoint& point) { return point.value < 0.0f; }));
}

}  // namespace
}  // namespace quarn::console::records
