#include "console/core/chart_model.h"

#include <gtest/gtest.h>

namespace quarn::console {
namespace {

ChartScaleSource Source(bool totalVisible, float allMax, float peakSingle) {
    ChartScaleSource source;
    source.totalVisible = totalVisible;
    source.allMax = allMax;
    source.peakSingle = peakSingle;
    return source;
}

TEST(ChartModelTest, ScaleMaximumSnapsToHundredOrMultiplesOfFiveHundred) {
    struct Case {
        float value;
        float snapped;
        float bandStep;
    };
    const Case cases[] = {
        {37.2f, 100.0f, 10.0f},     {1234.0f, 1500.0f, 150.0f}, {500.0f, 500.0f, 50.0f},
        {1000.7f, 1000.0f, 100.0f}, {100.0f, 500.0f, 50.0f},    {0.0f, 100.0f, 10.0f},
    };
    for (const Case& c : cases) {
        ChartModel chart;
        chart.SetScaleMaximum(c.value);
        chart.Rescale(Source(true, 0.0f, 0.0f));
        EXPECT_FLOAT_EQ(chart.ScaleMaximum(), c.snapped) << c.value;
        ASSERT_EQ(chart.Bands().size(), 10u);
        EXPECT_FLOAT_EQ(chart.Bands()[1].lowValue, c.bandStep) << c.value;
        EXPECT_FLOAT_EQ(chart.Bands()[9].highValue, 10 * c.bandStep) << c.value;
    }
}

class FinishedRunTest : public ::testing::Test {
  protected:
    void Run(int seconds) {
        chart.BeginRun(1);
        for (int i = 0; i < seconds; ++i) {
            chart.AppendPoint(1, static_cast<float>(i));
            chart.AppendPoint(0, static_cast<float>(2 * i));
        }
        chart.FinishRun(seconds, Source(true, 400.0f, 200.0f));
    }
    ChartModel chart;
};

TEST_F(FinishedRunTest, ShortRunKeepsItsPoints) {
    Run(30);
    EXPECT_EQ(chart.RunLength(), 30);
    EXPECT_EQ(chart.TickStep(), 2);
    EXPECT_EQ(chart.Series()[1].size(), 30u);
    EXPECT_FALSE(chart.WindowAutoscale());
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
}

TEST_F(FinishedRunTest, SixtySecondsStayUncompressed) {
    Run(60);
    EXPECT_EQ(chart.TickStep(), 5);
    EXPECT_EQ(chart.Series()[1].size(), 60u);
    EXPECT_FLOAT_EQ(chart.Series()[1][59].value, 59.0f);
}

TEST_F(FinishedRunTest, LongRunIsAveragedInBins) {
    Run(150);
    EXPECT_EQ(chart.RunLength(), 150);
    EXPECT_EQ(chart.TickStep(), 12);
    EXPECT_EQ(chart.FirstVisibleSample(), 0);
    ASSERT_EQ(chart.Series()[1].size(), 75u);
    EXPECT_FLOAT_EQ(chart.Series()[1][0].value, 0.5f);
    EXPECT_FLOAT_EQ(chart.Series()[1][74].value, 148.5f);
    EXPECT_FLOAT_EQ(chart.Series()[0][1].value, 5.0f);
}

TEST_F(FinishedRunTest, PartialLastBinIsDroppedAndNoSecondsChangeNothing) {
    Run(181);  // bin 3: 60 groups, one value left over
    ASSERT_EQ(chart.Series()[1].size(), 60u);
    EXPECT_FLOAT_EQ(chart.Series()[1][59].value, 178.0f);
    chart.BeginRun(1);
    chart.FinishRun(0, Source(true, 0.0f, 0.0f));
    EXPECT_EQ(chart.RunLength(), -1);
    EXPECT_FALSE(chart.WindowAutoscale());
}

TEST(ChartModelTest, ScrollingScaleFollowsTheVisibleWindow) {
    ChartModel chart;
    chart.BeginRun(1);
    const ChartScaleSource source = Source(false, 0.0f, 1200.0f);
    for (int second = 1; second <= 130; ++second) {
        const float value = second <= 5 ? 1200.0f : 50.0f;
        chart.AppendPoint(1, value);
        chart.AppendPoint(0, value);
        chart.SampleAdded(second > ChartModel::kVisibleSamples, source);
        if (second == 60) {
            EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 1500.0f);
        }
    }
    // The 1200s have left the window; the largest visible value is 50.
    EXPECT_EQ(chart.FirstVisibleSample(), 70);
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 100.0f);
}

TEST(ChartModelTest, TotalVisibilityChoosesTheScaleSource) {
    ChartModel chart;
    chart.SetTotalVisible(true, Source(false, 0.0f, 420.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 1000.0f);
    chart.SetTotalVisible(false, Source(true, 2600.0f, 420.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
    chart.SetTotalVisible(true, Source(false, 2600.0f, 420.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 3000.0f);
}

TEST(ChartModelTest, RemovingASeriesShiftsTheOnesAbove) {
    ChartModel chart;
    chart.BeginRun(3);
    chart.AppendPoint(2, 7.0f);
    chart.AppendPoint(9, 1.0f);  // no such series: ignored
    chart.RemoveSeries(1);
    chart.RemoveSeries(5);
    ASSERT_EQ(chart.Series().size(), 3u);
    EXPECT_FLOAT_EQ(chart.Series()[1][0].value, 7.0f);
    EXPECT_FALSE(chart.SetPairCount(3));
    EXPECT_TRUE(chart.SetPairCount(2));
}

TEST(ChartModelTest, LongFinishedRunSpreadsEveryPointOverTheRun) {
    ChartModel chart;
    chart.BeginRun(1);
    EXPECT_FALSE(chart.ShowsWholeRun());
    EXPECT_EQ(chart.SecondsPerPoint(), 1);
    for (int second = 0; second < 150; ++second) {
        chart.AppendPoint(0, 10.0f);
        chart.AppendPoint(1, 10.0f);
    }
    chart.FinishRun(150, Source(true, 10.0f, 10.0f));
    ASSERT_EQ(chart.Series()[1].size(), 75u);  // stored data keeps its compressed form
    EXPECT_TRUE(chart.ShowsWholeRun());
    EXPECT_EQ(chart.SecondsPerPoint(), 2);

    chart.FinishRun(0, Source(true, 10.0f, 10.0f));  // nothing received: view unchanged
    EXPECT_TRUE(chart.ShowsWholeRun());
    chart.Reset();
    EXPECT_FALSE(chart.ShowsWholeRun());
    chart.SetRunState(0, 45, 3);  // a short opened run is drawn by the step, not spread
    EXPECT_FALSE(chart.ShowsWholeRun());
    EXPECT_EQ(chart.SecondsPerPoint(), 1);
}

}  // namespace
}  // namespace quarn::console
