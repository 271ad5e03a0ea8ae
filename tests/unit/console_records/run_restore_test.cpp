#include "console/records/run_restore.h"

#include <gtest/gtest.h>

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
    // A run of four pairs, the third inactive, journalled for `seconds` seconds.
    void Record(int seconds, bool end) {
        run.data.table[3].config.active = false;
        run.data.table[3].figures.state = PairState::Inactive;
        run.data.nameLookup["198.18.1.1"] = "Lab \"one\"";
        run.data.settings.protocol = Protocol::Tcp;
        run.data.settings.windowSizeText = "2";
        ASSERT_TRUE(journal.Open(dir.File("run.jsonl.zst")));
        run.recorder.AddSink(journal);
        run.Begin(300);
        run.Feed(seconds);
        if (end)
            run.End(false);
        run.data.chart.FinishRun(run.data.ticks, ChartScaleSource::From(run.data.table));
    }

    test_support::TempDir dir;
    test::FedRun run{4, 3};
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

}  // namespace
}  // namespace quarn::console::records
