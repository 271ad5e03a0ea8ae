#include "console/files/series_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using test::ReadBytes;
using test::Samples;
using test::TempDir;

TEST(SeriesCsv, OneRowPerSampleInTheHeadlessLayout) {
    TempDir dir;
    PairTable table;
    for (int i = 0; i < 3; ++i) {
        table.AppendPair(PairRecord{});
    }
    table[2].config.active = 0;
    ChartModel chart;
    chart.AppendSeries(Samples({950.234f, 20.0f, 30.0f}));
    chart.AppendSeries(Samples({940.234f, 10.0f, -1.0f}));  // a missing third second
    chart.AppendSeries(Samples({5.0f, 5.0f, 5.0f}));        // inactive: never written
    chart.AppendSeries(Samples({10.0f, 10.0f}));            // shorter curve
    const std::string path = dir.File("run.csv");
    ASSERT_TRUE(WriteSeriesCsv(path, table, chart));
    EXPECT_EQ(ReadBytes(path),
              "tick,Pair1,Pair2,Pair3,All\n"
              "1,940.23,,10.00,950.23\n"
              "2,10.00,,10.00,20.00\n"
              "3,,,,30.00\n");
    EXPECT_FALSE(WriteSeriesCsv(dir.File("missing/run.csv"), table, chart));
}

TEST(SeriesCsv, AveragedLongRunKeepsOneRowPerBin) {
    TempDir dir;
    PairTable table;
    table.AppendPair(PairRecord{});
    ChartModel chart;
    chart.BeginRun(1);
    for (int second = 1; second <= 180; ++second) {
        chart.AppendPoint(0, static_cast<float>(second));
        chart.AppendPoint(1, static_cast<float>(second));
    }
    EXPECT_EQ(SecondsPerChartSample(chart), 1);  // while running every second is kept
    chart.FinishRun(180, ChartScaleSource::From(table));
    ASSERT_EQ(SecondsPerChartSample(chart), 3);
    const std::string path = dir.File("long.csv");
    ASSERT_TRUE(WriteSeriesCsv(path, table, chart));
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
              "tick,Pair1,All\n3,2.00,2.00\n");  // seconds 1-3 averaged
    EXPECT_NE(text.find("\n180,179.00,179.00\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 61);
}

}  // namespace
}  // namespace quarn::console
