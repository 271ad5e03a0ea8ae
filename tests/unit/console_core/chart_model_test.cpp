#include "console/core/chart_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/unit/console_core/recording_view.h"

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

// A reference above the run widens the scale so its curve is not cut off, through new
// runs too; without it the run's own scale comes back.
TEST(ChartModelTest, TheScaleHoldsAHigherReference) {
    ChartModel chart;
    const ChartScaleSource pairs = Source(false, 800.0f, 420.0f);
    chart.SetTotalVisible(false, pairs);
    ASSERT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
    chart.SetReferencePeaks(2100.0f, 900.0f, pairs);
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 1000.0f);
    chart.SetTotalVisible(true, pairs);
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 2500.0f);
    chart.SetTotalVisible(false, pairs);

    chart.BeginRun(1);
    chart.AppendPoint(1, 300.0f);
    chart.AppendPoint(0, 300.0f);
    chart.SampleAdded(false, Source(false, 300.0f, 300.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 1000.0f);
    chart.FinishRun(1, Source(false, 300.0f, 300.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 1000.0f);

    // A lower reference changes nothing; none gives the run's own scale again.
    chart.SetReferencePeaks(50.0f, 50.0f, Source(false, 300.0f, 300.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
    chart.SetReferencePeaks(0.0f, std::numeric_limits<float>::quiet_NaN(),
                            Source(false, 300.0f, 300.0f));
    EXPECT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);
}

// The widget repaints from the view's ChartChanged: every change that alters the curves
// or the scale says so, and a chart without a view tells nobody.
TEST(ChartModelTest, ChangesAreToldToItsView) {
    ChartModel chart;
    test::RecordingView view;
    chart.SetPairCount(2);
    for (int series = 0; series < 3; ++series)
        chart.AppendSeries(ChartSeries(2));
    chart.SetView(&view);
    EXPECT_TRUE(chart.SetPairCount(3));
    EXPECT_EQ(view.chartChanges, 1);
    chart.RemoveSeries(2);
    EXPECT_EQ(view.chartChanges, 2);
    chart.ClearSeries(1);
    EXPECT_EQ(view.chartChanges, 3);
    chart.Reset();
    EXPECT_EQ(view.chartChanges, 4);
    chart.SetView(nullptr);
    chart.SetPairCount(4);
    EXPECT_EQ(view.chartChanges, 4);
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

// The largest value in view picks the quality scale: whole-numbered bands, loss at most 100 %.
TEST(ChartQualityTest, ScaleFollowsTheLargestValueInView) {
    struct Case {
        ChartMeasure measure;
        double largest;
        float top;
    };
    const Case cases[] = {
        {ChartMeasure::Latency, 0.4, 10.0f},    {ChartMeasure::Latency, 10.0, 10.0f},
        {ChartMeasure::Latency, 10.5, 20.0f},   {ChartMeasure::Latency, 37.0, 50.0f},
        {ChartMeasure::Latency, 180.0, 200.0f}, {ChartMeasure::Latency, 420.0, 500.0f},
        {ChartMeasure::Loss, 0.0, 10.0f},       {ChartMeasure::Loss, 66.7, 100.0f},
        {ChartMeasure::Loss, 100.0, 100.0f},
    };
    for (const Case& c : cases) {
        ChartModel chart;
        chart.BeginRun(2);
        chart.AppendQualityPoint(c.measure, 1, c.largest / 2);
        chart.AppendQualityPoint(c.measure, 2, c.largest);
        const std::vector<ScaleBand> bands = chart.BandsOf(c.measure);
        ASSERT_EQ(bands.size(), 10u);
        EXPECT_FLOAT_EQ(bands[9].highValue, c.top) << c.largest;
        EXPECT_FLOAT_EQ(bands[0].lowValue, 0.0f);
        EXPECT_FLOAT_EQ(bands[3].highValue, std::round(bands[3].highValue)) << c.largest;
    }
    // Throughput keeps its own scale, whatever the quality curves hold.
    ChartModel chart;
    chart.BeginRun(1);
    chart.AppendQualityPoint(ChartMeasure::Latency, 1, 900.0);
    EXPECT_FLOAT_EQ(chart.BandsOf(ChartMeasure::Throughput)[9].highValue,
                    chart.Bands()[9].highValue);
}

TEST(ChartQualityTest, NoFigureIsAMissingSecondAndSeriesZeroStaysEmpty) {
    ChartModel chart;
    chart.BeginRun(1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (std::optional<double> value : {std::optional<double>(2.5), std::optional<double>(),
                                        std::optional<double>(nan), std::optional<double>(-3.0)}) {
        chart.AppendQualityPoint(ChartMeasure::Latency, 1, value);
    }
    chart.AppendQualityPoint(ChartMeasure::Loss, 1, 0.0);
    chart.AppendQualityPoint(ChartMeasure::Throughput, 1, 5.0);  // not a quality curve
    chart.AppendQualityPoint(ChartMeasure::Loss, 4, 1.0);        // no such pair

    const ChartSeries& rtt = chart.SeriesOf(ChartMeasure::Latency)[1];
    ASSERT_EQ(rtt.size(), 4u);
    EXPECT_FLOAT_EQ(rtt[0].value, 2.5f);
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_LT(rtt[i].value, 0.0f) << i;
    }
    ASSERT_EQ(chart.SeriesOf(ChartMeasure::Loss)[1].size(), 1u);
    EXPECT_FLOAT_EQ(chart.SeriesOf(ChartMeasure::Loss)[1][0].value, 0.0f);  // zero is a figure
    EXPECT_TRUE(chart.Series()[1].empty());
    EXPECT_TRUE(chart.SeriesOf(ChartMeasure::Latency)[0].empty());
}

// While running the scale follows the sliding window; once finished the whole run.
TEST(ChartQualityTest, SlidingScaleForgetsSecondsThatLeftTheWindow) {
    ChartModel chart;
    chart.BeginRun(1);
    for (int second = 0; second < 90; ++second) {
        chart.AppendPoint(1, 100.0f);
        chart.AppendQualityPoint(ChartMeasure::Latency, 1, second < 10 ? 300.0 : 15.0);
        chart.SampleAdded(second + 1 > ChartModel::kVisibleSamples, Source(false, 100.f, 100.f));
    }
    EXPECT_FLOAT_EQ(chart.BandsOf(ChartMeasure::Latency)[9].highValue, 20.0f);
    chart.FinishRun(90, Source(false, 100.0f, 100.0f));
    EXPECT_FLOAT_EQ(chart.BandsOf(ChartMeasure::Latency)[9].highValue, 500.0f);
}

TEST(ChartQualityTest, LongRunBinsAverageAnsweredSecondsOnly) {
    ChartModel chart;
    chart.BeginRun(1);
    // 150 s in two-second bins: (4, gap), (gap, gap), then 10 and 20 from there on.
    for (int second = 0; second < 150; ++second) {
        chart.AppendPoint(1, 1.0f);
        std::optional<double> rtt;
        if (second == 0) {
            rtt = 4.0;
        } else if (second >= 4) {
            rtt = second % 2 == 0 ? 10.0 : 20.0;
        }
        chart.AppendQualityPoint(ChartMeasure::Latency, 1, rtt);
        chart.AppendQualityPoint(ChartMeasure::Loss, 1, 1.0);
    }
    chart.FinishRun(150, Source(false, 1.0f, 1.0f));
    const ChartSeries& rtt = chart.SeriesOf(ChartMeasure::Latency)[1];
    ASSERT_EQ(rtt.size(), 75u);
    EXPECT_EQ(chart.SeriesOf(ChartMeasure::Loss)[1].size(), 75u);
    EXPECT_FLOAT_EQ(rtt[0].value, 4.0f);
    EXPECT_LT(rtt[1].value, 0.0f);
    EXPECT_FLOAT_EQ(rtt[2].value, 15.0f);
}

TEST(ChartQualityTest, QualityCurvesFollowDeletesAndOpenedFiles) {
    ChartModel chart;
    chart.BeginRun(3);
    for (int k = 1; k <= 3; ++k) {
        chart.AppendQualityPoint(ChartMeasure::Latency, k, 10.0 * k);
    }
    chart.RemoveSeries(1);
    ASSERT_EQ(chart.SeriesOf(ChartMeasure::Latency).size(), 3u);
    EXPECT_FLOAT_EQ(chart.SeriesOf(ChartMeasure::Latency)[1][0].value, 20.0f);
    EXPECT_FLOAT_EQ(chart.SeriesOf(ChartMeasure::Latency)[2][0].value, 30.0f);

    // An opened file replaces the series: no curve of the previous run may stay behind.
    chart.MutableSeries().clear();
    chart.AppendSeries(ChartSeries{});
    chart.AppendSeries(ChartSeries(5, ChartPoint{50.0f}));
    ASSERT_EQ(chart.SeriesOf(ChartMeasure::Latency).size(), 2u);
    EXPECT_TRUE(chart.SeriesOf(ChartMeasure::Latency)[1].empty());
    EXPECT_EQ(chart.SeriesOf(ChartMeasure::Loss).size(), 2u);
    chart.Reset();
    EXPECT_TRUE(chart.SeriesOf(ChartMeasure::Loss).empty());
}

}  // namespace
}  // namespace quarn::console
