#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <memory>

#include "console/core/chart_model.h"
#include "console/core/pair_table.h"
#include "console/ui/chart_layout.h"
#include "console/ui/chart_widget.h"
#include "gui_dump.h"
#include "widgets/artwork.h"

namespace quarn::console::ui {
namespace {

using widgets::testing::Blend;
using widgets::testing::ColumnHas;
using widgets::testing::GrabAndDump;
using widgets::testing::Near;
using widgets::testing::PictureOver;
using widgets::testing::Shows;

const QColor kEvenBand(0xF7, 0xF7, 0xF7);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kPair1(0x57, 0x81, 0x01);
const QColor kPair2(0xAF, 0xB7, 0x4C);

// The chart as the main window sizes it at 1115 x 631.
class ChartWidgetTest : public ::testing::Test {
  protected:
    static constexpr int kWidth = 1101;
    static constexpr int kHeight = 287;

    ChartWidgetTest() {
        model.Reset();
        chart = std::make_unique<ChartWidget>(model, [this] { return highlighted; });
        chart->resize(kWidth, kHeight);
        chart->SetPairTable(&table);
    }

    void AddPairs(int n) {
        for (int i = 0; i < n; ++i) {
            table.AppendPair(PairRecord{});
        }
    }

    // One run of `values[k]` for every second; series 0 gets the total.
    void Run(int pairs, int seconds, float (*value)(int pair, int second), bool finish) {
        AddPairs(pairs);
        model.BeginRun(pairs);
        float peak = 0.0f;
        for (int s = 0; s < seconds; ++s) {
            float total = 0.0f;
            for (int k = 1; k <= pairs; ++k) {
                const float v = value(k, s);
                model.AppendPoint(k, v);
                total += std::max(v, 0.0f);
                peak = std::max(peak, v);
            }
            model.AppendPoint(0, total);
            table.All().figures.max = std::max(table.All().figures.max, total);
            table.All().figures.peakSingle = peak;
            model.SampleAdded(s + 1 > ChartModel::kVisibleSamples, ChartScaleSource::From(table));
        }
        if (finish) {
            model.FinishRun(seconds, ChartScaleSource::From(table));
        }
    }

    QImage Grab(const char* name) { return GrabAndDump(*chart, name); }

    ChartLayout Layout() const { return ChartLayout(model, kWidth, kHeight); }
    PlotRect Plot() const { return Layout().Plot(); }
    float X(int sample) const {
        return static_cast<float>(Plot().left) +
               static_cast<float>(sample - model.FirstVisibleSample() + 1) *
                   Layout().HorizontalStep();
    }
    int Y(float value) const { return static_cast<int>(Layout().ValueToY(value)); }

    ChartModel model;
    PairTable table;
    int highlighted = -1;
    std::unique_ptr<ChartWidget> chart;
};

TEST_F(ChartWidgetTest, EmptyChartHasBandsGridFrameAndAxes) {
    const QImage image = Grab("chart_empty");
    const PlotRect plot = Plot();
    const std::vector<BandRows> bands = Layout().Bands();
    ASSERT_EQ(bands.size(), 10u);
    const int mid = (plot.left + plot.right) / 2;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const int y = (bands[i].lowY + bands[i].highY) / 2;
        EXPECT_EQ(image.pixelColor(mid, y), i % 2 == 0 ? kEvenBand : kWhite) << i;
        if (i > 0) {
            EXPECT_EQ(image.pixelColor(mid, bands[i].lowY), QColor(0xEE, 0xEE, 0xEE)) << i;
        }
    }
    EXPECT_EQ(image.pixelColor(plot.left + 1, (plot.top + plot.bottom) / 2),
              QColor(0xD0, 0xD0, 0xD0));
    EXPECT_EQ(image.pixelColor(mid, plot.bottom - 1), QColor(0xD0, 0xD0, 0xD0));
    EXPECT_EQ(image.pixelColor(mid, plot.top), QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(image.pixelColor(plot.right - 1, plot.top + 40), QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(image.pixelColor(plot.right + 3, plot.top + 40), kWhite);
    // No legend without pairs: the legend row stays white.
    for (int x = kWidth - 200; x < kWidth - 4; ++x) {
        EXPECT_EQ(image.pixelColor(x, 15), kWhite) << x;
    }
    // "Mbps" is drawn in black at the top left.
    EXPECT_TRUE(ColumnHas(image, 6, 5, 18, QColor(0, 0, 0), 60) ||
                ColumnHas(image, 8, 5, 18, QColor(0, 0, 0), 60));
}

TEST_F(ChartWidgetTest, CurveInItsColourAndHighlightFillUnderIt) {
    Run(
        2, 30, [](int pair, int) { return pair == 1 ? 250.0f : 600.0f; }, false);
    const int y1 = Y(250.0f);
    const int x = static_cast<int>((X(10) + X(11)) / 2);
    const QImage plain = Grab("chart_running");
    EXPECT_TRUE(ColumnHas(plain, x, y1 - 1, y1 + 1, kPair1, 10));
    EXPECT_TRUE(ColumnHas(plain, x, Y(600.0f) - 1, Y(600.0f) + 1, kPair2, 10));
    // Beyond the last point no curve.
    EXPECT_FALSE(
        ColumnHas(plain, static_cast<int>(X(40)), Plot().top, Plot().bottom - 3, kPair1, 10));

    highlighted = 1;  // list item 0
    chart->Refresh();
    const QImage lit = Grab("chart_highlight");
    const int below = y1 + 30;
    EXPECT_TRUE(Near(lit.pixelColor(x, below), Blend(kPair1, 0x50, plain.pixelColor(x, below)), 3))
        << lit.pixelColor(x, below).name().toStdString();
    // Above the curve and right of the run nothing changes.
    EXPECT_EQ(lit.pixelColor(x, y1 - 20), plain.pixelColor(x, y1 - 20));
    EXPECT_EQ(lit.pixelColor(static_cast<int>(X(45)), below),
              plain.pixelColor(static_cast<int>(X(45)), below));

    for (int none : {-1, 0}) {
        highlighted = none;
        chart->Refresh();
        EXPECT_EQ(Grab("chart_no_highlight").pixelColor(x, below), plain.pixelColor(x, below))
            << none;
    }
}

TEST_F(ChartWidgetTest, LegendSkipsInactivePairsAndShowsAll) {
    AddPairs(2);
    model.BeginRun(2);
    table.All().config.showTotal = 1;
    chart->Refresh();
    QImage image = Grab("chart_legend");
    EXPECT_EQ(image.pixelColor(kWidth - 54 + 6 + 2, 15), kPair2);
    EXPECT_EQ(image.pixelColor(kWidth - 108 + 6 + 2, 15), kPair1);
    EXPECT_EQ(image.pixelColor(kWidth - 162 + 16 + 2, 15), QColor(0, 0, 0));

    table[2].config.active = 0;
    table.All().config.showTotal = 0;
    chart->Refresh();
    image = Grab("chart_legend_inactive");
    EXPECT_EQ(image.pixelColor(kWidth - 54 + 6 + 2, 15), kPair1);
    EXPECT_EQ(image.pixelColor(kWidth - 108 + 16 + 2, 15), kWhite);
}

// With the most pairs the legend holds, each entry still carries its own marker; from
// Pair10 on the marker sits 6 pixels further left, before the wider name.
TEST_F(ChartWidgetTest, LegendShowsTheMarkerOfEveryPairUpToSixteen) {
    AddPairs(16);
    model.BeginRun(16);
    chart->Refresh();
    const QImage image = Grab("chart_legend_sixteen");
    for (int m = 1; m <= 16; ++m) {
        const int entryLeft = kWidth - 54 * (17 - m);
        const QPoint at(m < 10 ? entryLeft + 6 : entryLeft, 13);
        EXPECT_TRUE(Shows(image, at, PictureOver(widgets::MarkerPath(m, 6), kWhite))) << m;
    }
    EXPECT_NE(PictureOver(widgets::MarkerPath(15, 6), kWhite),
              PictureOver(widgets::MarkerPath(16, 6), kWhite));
}

TEST_F(ChartWidgetTest, SlidingWindowStartsAtTheFirstVisibleSample) {
    Run(
        1, 70, [](int, int second) { return second >= 10 && second < 15 ? 500.0f : 100.0f; },
        false);
    ASSERT_EQ(model.FirstVisibleSample(), 10);
    const QImage image = Grab("chart_scrolled");
    // Samples 10..14 are the first five points of the window.
    const int x = static_cast<int>((X(11) + X(12)) / 2);
    EXPECT_TRUE(ColumnHas(image, x, Y(500.0f) - 1, Y(500.0f) + 1, kPair1, 10));
    const int later = static_cast<int>((X(30) + X(31)) / 2);
    EXPECT_TRUE(ColumnHas(image, later, Y(100.0f) - 1, Y(100.0f) + 1, kPair1, 10));
    // The last sample reaches the plot's last column.
    EXPECT_TRUE(ColumnHas(image, Plot().right - 3, Y(100.0f) - 1, Y(100.0f) + 1, kPair1, 10));
}

TEST_F(ChartWidgetTest, MissingSecondInterruptsTheCurve) {
    Run(
        1, 20, [](int, int second) { return second == 5 ? -1.0f : 250.0f; }, false);
    const QImage image = Grab("chart_missing");
    const int y = Y(250.0f);
    EXPECT_FALSE(ColumnHas(image, static_cast<int>((X(4) + X(5)) / 2), y - 2, y + 2, kPair1, 40));
    EXPECT_TRUE(ColumnHas(image, static_cast<int>((X(5) + X(6)) / 2), y - 1, y + 1, kPair1, 10));
    EXPECT_TRUE(ColumnHas(image, static_cast<int>((X(2) + X(3)) / 2), y - 1, y + 1, kPair1, 10));
}

TEST_F(ChartWidgetTest, FinishedLongRunReachesTheRightEdgeWithPointsAtTheirSeconds) {
    // 150 s: 100 Mbit/s for the first 80 s, then 600; stored as 75 two-second means.
    Run(
        1, 150, [](int, int second) { return second < 80 ? 100.0f : 600.0f; }, true);
    ASSERT_EQ(model.Series()[1].size(), 75u);
    highlighted = 1;
    chart->Refresh();
    const QImage image = Grab("chart_finished_150");
    const PlotRect plot = Plot();
    const double perSecond = (plot.right - plot.left) / 150.0;
    auto at = [&](double second) { return static_cast<int>(plot.left + second * perSecond); };
    // Second 60 still shows 100; second 100 shows 600 (drawn by the first 60 points only,
    // the step to 600 would sit at 41/60 of the width, second 102.5).
    EXPECT_TRUE(ColumnHas(image, at(60), Y(100.0f) - 1, Y(100.0f) + 1, kPair1, 10));
    EXPECT_TRUE(ColumnHas(image, at(90), Y(600.0f) - 1, Y(600.0f) + 1, kPair1, 10));
    EXPECT_FALSE(ColumnHas(image, at(90), Y(100.0f) - 1, Y(100.0f) + 1, kPair1, 10));
    // The last point is at the right edge; the fill reaches it too.
    EXPECT_TRUE(ColumnHas(image, plot.right - 2, Y(600.0f) - 1, Y(600.0f) + 1, kPair1, 10));
    EXPECT_NE(image.pixelColor(plot.right - 3, Y(600.0f) + 20), kWhite);
    EXPECT_NE(image.pixelColor(plot.right - 3, Y(600.0f) + 20), kEvenBand);
}

TEST_F(ChartWidgetTest, FinishedShortRunUsesTheWholeWidth) {
    Run(
        1, 30, [](int, int) { return 300.0f; }, true);
    ASSERT_EQ(model.RunLength(), 30);
    const QImage image = Grab("chart_finished_30");
    EXPECT_TRUE(ColumnHas(image, Plot().right - 3, Y(300.0f) - 1, Y(300.0f) + 1, kPair1, 10));
    EXPECT_TRUE(ColumnHas(image, Plot().left + 40, 0, kHeight, kPair1, 10));
}

TEST_F(ChartWidgetTest, LoadingHidesTheCurvesAndPressIsReported) {
    Run(
        1, 20, [](int, int) { return 250.0f; }, false);
    const int x = static_cast<int>((X(5) + X(6)) / 2);
    chart->SetLoading(true);
    EXPECT_FALSE(ColumnHas(Grab("chart_loading"), x, 0, kHeight, kPair1, 10));
    chart->SetLoading(false);
    EXPECT_TRUE(ColumnHas(Grab("chart_loaded"), x, 0, kHeight, kPair1, 10));

    QSignalSpy pressed(chart.get(), &ChartWidget::pressed);
    chart->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart.get()));
    QTest::mouseClick(chart.get(), Qt::RightButton, {}, QPoint(100, 100));
    QTest::mouseClick(chart.get(), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseClick(chart.get(), Qt::MiddleButton, {}, QPoint(10, 10));
    EXPECT_EQ(pressed.count(), 2);
}

}  // namespace
}  // namespace quarn::console::ui
