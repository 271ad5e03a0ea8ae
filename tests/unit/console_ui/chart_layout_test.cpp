#include "console/ui/chart_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace quarn::console::ui {
namespace {

// A 648 x 300 chart: plot 39..639 across (600 pixels), 27..270 down.
constexpr int kWidth = 648;
constexpr int kHeight = 300;
constexpr float kLeft = 39.0f;
constexpr float kLastX = 638.0f;  // last column inside the plot
constexpr float kBaseY = 269.0f;  // the bottom axis row
constexpr int kLabelTop = kHeight - 31;
constexpr int kLabelBottom = kHeight - 10;

ChartScaleSource PeakOf(float peak) {
    ChartScaleSource source;
    source.peakSingle = peak;
    return source;
}

// One pair's run of `seconds` samples as the tick processor feeds it; `value(s)` is the
// sample of second s.
template <typename Value>
void Feed(ChartModel& chart, int seconds, float peak, Value value) {
    chart.BeginRun(1);
    for (int s = 0; s < seconds; ++s) {
        chart.AppendPoint(1, value(s));
        chart.AppendPoint(0, value(s));
        chart.SampleAdded(s + 1 > ChartModel::kVisibleSamples, PeakOf(peak));
    }
}

std::vector<int> Seconds(const std::vector<TimeLabel>& labels) {
    std::vector<int> seconds;
    for (const TimeLabel& label : labels) {
        seconds.push_back(label.seconds);
    }
    return seconds;
}

std::vector<int> Steps(int from, int to, int step) {
    std::vector<int> values;
    for (int v = from; v <= to; v += step) {
        values.push_back(v);
    }
    return values;
}

void ExpectBox(const PixelBox& box, int left, int right, const char* what) {
    EXPECT_EQ(box.left, left) << what;
    EXPECT_EQ(box.right, right) << what;
    EXPECT_EQ(box.top, kLabelTop) << what;
    EXPECT_EQ(box.bottom, kLabelBottom) << what;
}

// Every label but the last is left-aligned at its own x; the last closes the axis at
// the plot's right edge.
void ExpectLabels(const std::vector<TimeLabel>& labels, const std::vector<int>& evenly, int end,
                  int spacing, const std::vector<int>& xs) {
    ASSERT_EQ(labels.size(), evenly.size() + 1);
    std::vector<int> expected = evenly;
    expected.push_back(end);
    EXPECT_EQ(Seconds(labels), expected);
    for (std::size_t i = 0; i < evenly.size(); ++i) {
        EXPECT_FALSE(labels[i].alignRight) << i;
        ExpectBox(labels[i].box, xs[i], xs[i] + spacing, "label");
    }
    EXPECT_TRUE(labels.back().alignRight);
    ExpectBox(labels.back().box, 639 - spacing, 639, "end label");
}

TEST(ChartLayoutTest, PlotFollowsTheWidgetSize) {
    const PlotRect plot = ChartLayout::PlotFor(1101, 287);
    EXPECT_EQ(plot.left, 39);
    EXPECT_EQ(plot.top, 27);
    EXPECT_EQ(plot.right, 1092);
    EXPECT_EQ(plot.bottom, 257);
}

TEST(ChartLayoutTest, ValuesMapThroughTheBands) {
    ChartModel chart;  // scale 1000: bands of 100 Mbit/s, 24 pixels each
    const ChartLayout layout(chart, kWidth, kHeight);
    const std::vector<BandRows> bands = layout.Bands();
    ASSERT_EQ(bands.size(), 10u);
    EXPECT_EQ(bands[0].lowY, 269);
    EXPECT_EQ(bands[0].highY, 245);
    EXPECT_EQ(bands[9].highY, 29);
    EXPECT_FLOAT_EQ(bands[9].highValue, 1000.0f);

    EXPECT_FLOAT_EQ(layout.ValueToY(0.0f), 269.0f);
    EXPECT_FLOAT_EQ(layout.ValueToY(250.0f), 209.0f);
    EXPECT_FLOAT_EQ(layout.ValueToY(1000.0f), 29.0f);
    // A band's top value belongs to that band, one pixel up is rounded towards the top.
    EXPECT_FLOAT_EQ(layout.ValueToY(500.0f), 149.0f);
    EXPECT_FLOAT_EQ(layout.ValueToY(101.0f), 244.0f);
    // Outside the scale: above the plot.
    EXPECT_FLOAT_EQ(layout.ValueToY(1000.5f), -1.0f);
    EXPECT_FLOAT_EQ(layout.ValueToY(-1.0f), -1.0f);

    // Another measure's bands over the same time axis.
    const std::vector<ScaleBand> percent = {{0.0f, 50.0f}, {50.0f, 100.0f}};
    const ChartLayout other(chart, percent, kWidth, kHeight);
    ASSERT_EQ(other.Bands().size(), 2u);
    EXPECT_EQ(other.Bands()[1].highY, 269 - 2 * 121);
    EXPECT_FLOAT_EQ(other.ValueToY(25.0f), 269.0f - 61.0f);
}

TEST(ChartLayoutTest, HorizontalStepIsNudgedAsAFloat) {
    ChartModel chart;
    EXPECT_FLOAT_EQ(ChartLayout(chart, kWidth, kHeight).HorizontalStep(), 10.0f);
    // Plot width 552: 9.2 as a float is below 9.2, nudged once.
    EXPECT_FLOAT_EQ(ChartLayout(chart, 600, kHeight).HorizontalStep(), 9.3f);
    chart.SetRunState(0, 30, 2);
    EXPECT_FLOAT_EQ(ChartLayout(chart, kWidth, kHeight).HorizontalStep(), 20.0f);
    chart.SetRunState(0, 0, 1);  // no run length yet: the 60-second window
    EXPECT_FLOAT_EQ(ChartLayout(chart, kWidth, kHeight).HorizontalStep(), 10.0f);
}

TEST(ChartLayoutTest, EmptyChartLabelsTheFirstMinute) {
    ChartModel chart;
    const ChartLayout layout(chart, kWidth, kHeight);
    std::vector<int> xs;
    for (int k = 0; k < 12; ++k) {
        xs.push_back(39 + 50 * k);
    }
    ExpectLabels(layout.TimeLabels(), Steps(0, 55, 5), 60, 50, xs);
    EXPECT_TRUE(layout.Curve({}, true).lines.empty());
    EXPECT_TRUE(layout.Curve({}, true).fill.empty());
}

TEST(ChartLayoutTest, RunningRunStartsOneStepFromTheLeftEdge) {
    ChartModel chart;
    Feed(chart, 10, 1000.0f, [](int) { return 250.0f; });
    const ChartLayout layout(chart, kWidth, kHeight);
    std::vector<int> xs;
    for (int k = 0; k < 12; ++k) {
        xs.push_back(39 + 50 * k);
    }
    ExpectLabels(layout.TimeLabels(), Steps(0, 55, 5), 60, 50, xs);

    const CurveGeometry curve = layout.Curve(chart.Series()[1], false);
    ASSERT_EQ(curve.lines.size(), 10u);
    // In from the bottom-left corner, then one 10-pixel step per second at 250's row.
    EXPECT_FLOAT_EQ(curve.lines[0].from.x, kLeft);
    EXPECT_FLOAT_EQ(curve.lines[0].from.y, 270.0f);
    EXPECT_FLOAT_EQ(curve.lines[0].to.x, 49.0f);
    EXPECT_FLOAT_EQ(curve.lines[0].to.y, 209.0f);
    for (std::size_t j = 1; j < curve.lines.size(); ++j) {
        EXPECT_FLOAT_EQ(curve.lines[j].from.x, 39.0f + 10.0f * static_cast<float>(j)) << j;
        EXPECT_FLOAT_EQ(curve.lines[j].to.x, 49.0f + 10.0f * static_cast<float>(j)) << j;
        EXPECT_FLOAT_EQ(curve.lines[j].to.y, 209.0f) << j;
    }
    EXPECT_TRUE(curve.fill.empty());  // not asked for
}

// A round trip of 0 ms at second 0 was never measured: the Latency and Loss curves start
// at their first value, while throughput keeps rising from 0.
TEST(ChartLayoutTest, QualityCurvesStartAtTheirFirstValue) {
    ChartModel chart;
    Feed(chart, 3, 1000.0f, [](int) { return 250.0f; });
    for (int s = 0; s < 3; ++s) {
        chart.AppendQualityPoint(ChartMeasure::Latency, 1, 5.0);
    }
    const std::vector<ScaleBand> bands = chart.BandsOf(ChartMeasure::Latency);
    const ChartLayout layout(chart, bands, kWidth, kHeight);
    const float fiveMs = layout.ValueToY(5.0f);
    ASSERT_LT(fiveMs, kBaseY);
    const ChartSeries& latency = chart.SeriesOf(ChartMeasure::Latency)[1];
    const CurveGeometry curve = layout.Curve(latency, true, CurveStart::AtFirstValue);
    ASSERT_EQ(curve.lines.size(), 3u);
    for (const CurveSegment& line : curve.lines) {
        EXPECT_FLOAT_EQ(line.from.y, fiveMs);
        EXPECT_FLOAT_EQ(line.to.y, fiveMs);
    }
    EXPECT_FLOAT_EQ(curve.lines[0].from.x, kLeft);
    // The highlight's fill still closes on the axis.
    EXPECT_FLOAT_EQ(curve.fill.front().y, kBaseY);
    EXPECT_FLOAT_EQ(curve.fill[1].y, fiveMs);

    const CurveGeometry throughput = layout.Curve(chart.Series()[1], false);
    EXPECT_FLOAT_EQ(throughput.lines[0].from.y, 270.0f);
}

TEST(ChartLayoutTest, ScrolledRunShowsTheLastMinuteToTheRightEdge) {
    ChartModel chart;
    // 75 seconds: the window starts at second 15; second 14 was 500, the rest 250.
    Feed(chart, 75, 1000.0f, [](int s) { return s == 14 ? 500.0f : 250.0f; });
    ASSERT_EQ(chart.FirstVisibleSample(), 15);
    ASSERT_FLOAT_EQ(chart.ScaleMaximum(), 500.0f);  // the window and the second before it
    const ChartLayout layout(chart, kWidth, kHeight);
    std::vector<int> xs;
    for (int k = 0; k < 12; ++k) {
        xs.push_back(39 + 50 * k);
    }
    ExpectLabels(layout.TimeLabels(), Steps(15, 70, 5), 75, 50, xs);

    // Scale 500: bands of 50 Mbit/s; 250 is the top of band 4, row 269 - 5 * 24.
    EXPECT_FLOAT_EQ(layout.ValueToY(250.0f), 149.0f);
    EXPECT_FLOAT_EQ(layout.ValueToY(500.0f), 29.0f);
    const CurveGeometry curve = layout.Curve(chart.Series()[1], true);
    ASSERT_EQ(curve.lines.size(), 60u);
    // The first line comes in from the left edge at the height of the second before.
    EXPECT_FLOAT_EQ(curve.lines[0].from.x, kLeft);
    EXPECT_FLOAT_EQ(curve.lines[0].from.y, 29.0f);
    EXPECT_FLOAT_EQ(curve.lines[0].to.x, 49.0f);
    EXPECT_FLOAT_EQ(curve.lines[0].to.y, 149.0f);
    // The 60th point is pulled in to the plot's last column.
    EXPECT_FLOAT_EQ(curve.lines.back().from.x, 629.0f);
    EXPECT_FLOAT_EQ(curve.lines.back().to.x, kLastX);

    // The fill: bottom-left, the incoming start, the 60 points, down to the axis.
    ASSERT_EQ(curve.fill.size(), 1u + 1u + 60u + 1u);
    EXPECT_FLOAT_EQ(curve.fill.front().x, kLeft);
    EXPECT_FLOAT_EQ(curve.fill.front().y, kBaseY);
    EXPECT_FLOAT_EQ(curve.fill[1].y, 29.0f);
    EXPECT_FLOAT_EQ(curve.fill.back().x, kLastX);
    EXPECT_FLOAT_EQ(curve.fill.back().y, kBaseY);

    // Samples past the window's 60 intervals (a series ahead of the others) are dropped.
    ChartSeries longer = chart.Series()[1];
    longer.resize(longer.size() + 5, ChartPoint{300.0f});
    EXPECT_EQ(layout.Curve(longer, false).lines.size(), 60u);
}

TEST(ChartLayoutTest, FinishedThirtySecondsSpreadOverTheWidth) {
    ChartModel chart;
    Feed(chart, 30, 300.0f, [](int) { return 300.0f; });
    chart.FinishRun(30, PeakOf(300.0f));
    ASSERT_EQ(chart.TickStep(), 2);
    const ChartLayout layout(chart, kWidth, kHeight);
    EXPECT_FLOAT_EQ(layout.HorizontalStep(), 20.0f);
    EXPECT_FLOAT_EQ(layout.RunTimeX(15.0), 339.0f);

    // 15 ticks 40 pixels wide; each label sits at its own second, 20 pixels apart.
    std::vector<int> xs;
    for (int v = 0; v <= 28; v += 2) {
        xs.push_back(39 + 20 * v);
    }
    ExpectLabels(layout.TimeLabels(), Steps(0, 28, 2), 30, 40, xs);

    // Scale 500 (bands of 50): 300 is the top of band 5.
    EXPECT_FLOAT_EQ(layout.ValueToY(300.0f), 125.0f);
    const CurveGeometry curve = layout.Curve(chart.Series()[1], false);
    ASSERT_EQ(curve.lines.size(), 30u);
    EXPECT_FLOAT_EQ(curve.lines[0].to.x, 59.0f);
    EXPECT_FLOAT_EQ(curve.lines[1].to.x, 79.0f);
    EXPECT_FLOAT_EQ(curve.lines.back().to.x, kLastX);
    EXPECT_FLOAT_EQ(curve.lines.back().to.y, 125.0f);
}

TEST(ChartLayoutTest, FinishedSixtySecondsKeepTheWindowLabels) {
    ChartModel chart;
    Feed(chart, 60, 800.0f, [](int s) { return s < 30 ? 400.0f : 800.0f; });
    chart.FinishRun(60, PeakOf(800.0f));
    const ChartLayout layout(chart, kWidth, kHeight);
    EXPECT_FLOAT_EQ(layout.HorizontalStep(), 10.0f);
    std::vector<int> xs;
    for (int v = 0; v <= 55; v += 5) {
        xs.push_back(39 + 10 * v);
    }
    ExpectLabels(layout.TimeLabels(), Steps(0, 55, 5), 60, 50, xs);

    const CurveGeometry curve = layout.Curve(chart.Series()[1], false);
    ASSERT_EQ(curve.lines.size(), 60u);
    EXPECT_FLOAT_EQ(curve.lines[29].to.y, layout.ValueToY(400.0f));
    EXPECT_FLOAT_EQ(curve.lines[30].to.y, layout.ValueToY(800.0f));
    EXPECT_FLOAT_EQ(curve.lines[30].to.x, 349.0f);
    EXPECT_FLOAT_EQ(curve.lines.back().to.x, kLastX);
}

TEST(ChartLayoutTest, FinishedLongRunPlacesEachMeanAtItsSeconds) {
    ChartModel chart;
    Feed(chart, 150, 600.0f, [](int s) { return s < 80 ? 100.0f : 600.0f; });
    chart.FinishRun(150, PeakOf(600.0f));
    ASSERT_EQ(chart.Series()[1].size(), 75u);
    const ChartLayout layout(chart, kWidth, kHeight);
    EXPECT_FLOAT_EQ(layout.RunTimeX(0.0), 39.0f);
    EXPECT_FLOAT_EQ(layout.RunTimeX(75.0), 339.0f);
    EXPECT_FLOAT_EQ(layout.RunTimeX(150.0), 639.0f);

    // Tick step 12, 50-pixel ticks; labels at 4 pixels a second stop before the end label.
    std::vector<int> xs;
    for (int v = 0; v <= 132; v += 12) {
        xs.push_back(39 + 4 * v);
    }
    ExpectLabels(layout.TimeLabels(), Steps(0, 132, 12), 150, 50, xs);

    // Each two-second mean sits at the end of its seconds: 8 pixels apart.
    const CurveGeometry curve = layout.Curve(chart.Series()[1], true);
    ASSERT_EQ(curve.lines.size(), 75u);
    EXPECT_FLOAT_EQ(curve.lines[0].to.x, 47.0f);
    EXPECT_FLOAT_EQ(curve.lines[39].to.x, 359.0f);  // seconds 78..79: still 100
    EXPECT_FLOAT_EQ(curve.lines[39].to.y, layout.ValueToY(100.0f));
    EXPECT_FLOAT_EQ(curve.lines[40].to.y, layout.ValueToY(600.0f));
    EXPECT_FLOAT_EQ(curve.lines.back().to.x, kLastX);
    EXPECT_FLOAT_EQ(curve.fill.back().x, kLastX);
    EXPECT_FLOAT_EQ(curve.fill.back().y, kBaseY);
}

TEST(ChartLayoutTest, MissingSecondsBreakTheLine) {
    ChartModel chart;
    Feed(chart, 6, 1000.0f, [](int s) { return s == 3 ? -1.0f : 250.0f; });
    const ChartLayout layout(chart, kWidth, kHeight);
    const CurveGeometry curve = layout.Curve(chart.Series()[1], true);
    // No line into second 3; out of it a one-step stub at second 4's height.
    ASSERT_EQ(curve.lines.size(), 5u);
    EXPECT_FLOAT_EQ(curve.lines[2].to.x, 69.0f);
    EXPECT_FLOAT_EQ(curve.lines[3].from.x, 79.0f);
    EXPECT_FLOAT_EQ(curve.lines[3].from.y, 209.0f);
    EXPECT_FLOAT_EQ(curve.lines[3].to.x, 89.0f);
    // The fill skips the missing point: corner, start, 5 points, closing vertex.
    EXPECT_EQ(curve.fill.size(), 8u);

    // A missing first second: the line starts at the next value, the fill one step in.
    ChartSeries late = {ChartPoint{-1.0f}, ChartPoint{250.0f}, ChartPoint{250.0f}};
    const CurveGeometry lateCurve = layout.Curve(late, true);
    ASSERT_EQ(lateCurve.lines.size(), 2u);
    EXPECT_FLOAT_EQ(lateCurve.lines[0].from.x, 49.0f);
    EXPECT_FLOAT_EQ(lateCurve.lines[0].to.x, 59.0f);
    ASSERT_GE(lateCurve.fill.size(), 2u);
    EXPECT_FLOAT_EQ(lateCurve.fill[0].x, 49.0f);
    EXPECT_FLOAT_EQ(lateCurve.fill[1].x, kLeft);

    // Nothing but missing seconds: nothing to draw or fill.
    const ChartSeries gone = {ChartPoint{-1.0f}, ChartPoint{-1.0f}};
    EXPECT_TRUE(layout.Curve(gone, true).lines.empty());
    EXPECT_EQ(layout.Curve(gone, true).fill.size(), 3u);
}

}  // namespace
}  // namespace quarn::console::ui
