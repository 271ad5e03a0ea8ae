#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "console/core/chart_model.h"
#include "console/core/pair_table.h"
#include "console/ui/chart_layout.h"
#include "console/ui/chart_measure_tabs.h"
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
        chart = std::make_unique<ChartWidget>(model);
        chart->resize(kWidth, kHeight);
        chart->SetPairTable(&table);
        chart->SetHighlight(&highlighted);
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
    PairId highlighted;
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

    highlighted = table.IdAt(1);
    chart->Refresh();
    const QImage lit = Grab("chart_highlight");
    const int below = y1 + 30;
    EXPECT_TRUE(Near(lit.pixelColor(x, below), Blend(kPair1, 0x50, plain.pixelColor(x, below)), 3))
        << lit.pixelColor(x, below).name().toStdString();
    // Above the curve and right of the run nothing changes.
    EXPECT_EQ(lit.pixelColor(x, y1 - 20), plain.pixelColor(x, y1 - 20));
    EXPECT_EQ(lit.pixelColor(static_cast<int>(X(45)), below),
              plain.pixelColor(static_cast<int>(X(45)), below));

    // Neither no pair nor the All row fills.
    for (const PairId none : {PairId(), table.All().id}) {
        highlighted = none;
        chart->Refresh();
        EXPECT_EQ(Grab("chart_no_highlight").pixelColor(x, below), plain.pixelColor(x, below))
            << none.Value();
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
    highlighted = table.IdAt(1);
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

// The largest figure a pair can report (1 Tbit/s): every y label is drawn whole, left of
// the plot, and the plot gives way only as far as the labels need.
TEST_F(ChartWidgetTest, YLabelsOfTheLargestFiguresShowWhole) {
    Run(
        1, 5, [](int, int) { return 1000000.0f; }, false);
    const std::vector<ScaleBand>& bands = model.Bands();
    ASSERT_FALSE(bands.empty());
    ASSERT_GE(bands.back().highValue, 1000000.0f);
    const QImage image = Grab("chart_wide_labels");
    const QColor axis(0xD0, 0xD0, 0xD0);
    const int mid = kHeight / 2;
    int axisX = -1;
    for (int x = 0; x < 150 && axisX < 0; ++x) {
        if (image.pixelColor(x, mid) == axis) {
            axisX = x;
        }
    }
    ASSERT_GT(axisX, 0);
    const QFontMetrics metrics(chart->font());
    const QString top = QString::number(static_cast<int>(bands.back().highValue));
    // The top label's ink: from its first to its last inked column, left of the axis.
    int first = -1;
    int last = -1;
    for (int x = 0; x < axisX; ++x) {
        if (ColumnHas(image, x, 23, 34, QColor(0x95, 0x95, 0x95), 60)) {
            first = first < 0 ? x : first;
            last = x;
        }
    }
    ASSERT_GE(first, 0) << "the top label is drawn";
    EXPECT_GT(first, 0) << "its first digit is not cut at the left edge";
    // Ink is narrower than the advance by the glyphs' side bearings, never by a digit.
    EXPECT_GE(last - first + 6, metrics.horizontalAdvance(top)) << top.toStdString();
    EXPECT_LT(last, axisX - 1);
    // No more room than the widest label needs.
    EXPECT_LE(axisX, metrics.horizontalAdvance(top) + 8);

    // An everyday scale keeps the plot where it always was.
    table = PairTable{};
    model.Reset();
    Run(
        1, 5, [](int, int) { return 900.0f; }, false);
    EXPECT_EQ(Grab("chart_usual_labels").pixelColor(Plot().left + 1, mid), axis);
    EXPECT_EQ(Plot().left, 39);
}

// The selector's quality curves: pair 1 answers probes (and loses datagrams), pair 2's
// End Point 2 never answered, so it has no curve to draw.
class ChartQualityViewTest : public ChartWidgetTest {
  protected:
    void QualityRun(int seconds, bool finish) {
        AddPairs(2);
        table.All().config.showTotal = 1;
        model.BeginRun(2);
        for (int s = 0; s < seconds; ++s) {
            model.AppendPoint(1, 90.0f);
            model.AppendPoint(2, 90.0f);
            model.AppendPoint(0, 180.0f);
            model.AppendQualityPoint(ChartMeasure::Latency, 1, s < 5 ? 2.0 : 30.0);
            model.AppendQualityPoint(ChartMeasure::Latency, 2, std::nullopt);
            model.AppendQualityPoint(ChartMeasure::Loss, 1, 66.0);
            model.AppendQualityPoint(ChartMeasure::Loss, 2, 0.0);
            table.All().figures.max = 180.0f;
            table.All().figures.peakSingle = 90.0f;
            model.SampleAdded(s + 1 > ChartModel::kVisibleSamples, ChartScaleSource::From(table));
        }
        if (finish) {
            model.FinishRun(seconds, ChartScaleSource::From(table));
        }
    }

    int QualityY(ChartMeasure measure, float value) {
        bands = model.BandsOf(measure);
        return static_cast<int>(ChartLayout(model, bands, kWidth, kHeight).ValueToY(value));
    }

    std::vector<ScaleBand> bands;
};

TEST_F(ChartQualityViewTest, LatencyDrawsEachAnsweringPairsRoundTripInItsColour) {
    QualityRun(20, false);
    const int x = static_cast<int>((X(10) + X(11)) / 2);
    const int y = QualityY(ChartMeasure::Latency, 30.0f);
    ASSERT_GT(y, Plot().top);
    // The throughput view has no pair curve at the height of 30 ms on the 50 ms scale.
    EXPECT_FALSE(ColumnHas(Grab("chart_quality_throughput"), x, y - 1, y + 1, kPair1, 10));

    chart->SetMeasure(ChartMeasure::Latency);
    const QImage image = Grab("chart_latency_running");
    EXPECT_FLOAT_EQ(bands[9].highValue, 50.0f);
    EXPECT_TRUE(ColumnHas(image, x, y - 1, y + 1, kPair1, 10));
    // The idle seconds sit lower, at 2 ms.
    const int idleX = static_cast<int>((X(1) + X(2)) / 2);
    const int idleY = QualityY(ChartMeasure::Latency, 2.0f);
    EXPECT_TRUE(ColumnHas(image, idleX, idleY - 1, idleY + 1, kPair1, 10));
    // Pair 2 never answered and the All curve is no round trip: neither is drawn anywhere.
    for (int column = Plot().left + 3; column < Plot().right - 3; column += 7) {
        ASSERT_FALSE(ColumnHas(image, column, Plot().top, Plot().bottom - 3, kPair2, 10)) << column;
        ASSERT_FALSE(ColumnHas(image, column, Plot().top, Plot().bottom - 3, QColor(0, 0, 0), 10))
            << column;
    }
    // Back on throughput both pairs' 90 Mbit/s curves are there again (pair 2 on top).
    chart->SetMeasure(ChartMeasure::Throughput);
    EXPECT_TRUE(ColumnHas(Grab("chart_quality_back"), x, Y(90.0f) - 1, Y(90.0f) + 1, kPair2, 10));
}

TEST_F(ChartQualityViewTest, LossDrawsEveryPairFinishedOverTheWholeWidth) {
    QualityRun(30, true);
    chart->SetMeasure(ChartMeasure::Loss);
    const QImage image = Grab("chart_loss_finished");
    const int lossY = QualityY(ChartMeasure::Loss, 66.0f);
    EXPECT_FLOAT_EQ(bands[9].highValue, 100.0f);
    const int zeroY = QualityY(ChartMeasure::Loss, 0.0f);
    const int mid = (Plot().left + Plot().right) / 2;
    EXPECT_TRUE(ColumnHas(image, mid, lossY - 1, lossY + 1, kPair1, 10));
    EXPECT_TRUE(ColumnHas(image, Plot().right - 3, lossY - 1, lossY + 1, kPair1, 10));
    // Zero loss is a figure: pair 2's curve runs along the bottom.
    EXPECT_TRUE(ColumnHas(image, mid, zeroY - 1, zeroY + 1, kPair2, 10));
}

TEST_F(ChartQualityViewTest, PressOnATabSelectsItsMeasure) {
    QualityRun(10, false);
    chart->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(chart.get()));
    const QRect latency = chart->MeasureTabRect(ChartMeasure::Latency);
    const QRect loss = chart->MeasureTabRect(ChartMeasure::Loss);
    ASSERT_FALSE(latency.intersects(loss));
    ASSERT_FALSE(latency.intersects(chart->MeasureTabRect(ChartMeasure::Throughput)));
    // With 16 pairs and "All" the legend's leftmost marker starts at width - 17 * 54 + 16.
    EXPECT_LT(loss.right() + 4, kWidth - 17 * 54 + 16);

    QWidget* tabs = chart->MeasureTabs();
    ASSERT_EQ(chart->childAt(loss.center()), tabs);
    const QPoint origin = tabs->pos();
    QSignalSpy pressed(chart.get(), &ChartWidget::pressed);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, loss.center() - origin);
    EXPECT_EQ(chart->Measure(), ChartMeasure::Loss);
    QTest::mouseClick(tabs, Qt::RightButton, {}, latency.center() - origin);
    EXPECT_EQ(chart->Measure(), ChartMeasure::Loss);  // the right button opens the menu
    QTest::mouseClick(tabs, Qt::LeftButton, {}, latency.center() - origin);
    EXPECT_EQ(chart->Measure(), ChartMeasure::Latency);
    QTest::mouseClick(chart.get(), Qt::LeftButton, {}, QPoint(kWidth / 2, kHeight / 2));
    EXPECT_EQ(chart->Measure(), ChartMeasure::Latency);
    // Every press still reaches the chart, as a press anywhere on it does.
    EXPECT_EQ(pressed.count(), 4);

    // The selected text is underlined; the others are not.
    const QImage image = Grab("chart_tabs");
    const QColor underline(0xD0, 0xD0, 0xD0);
    EXPECT_EQ(image.pixelColor(latency.center().x(), latency.bottom() + 1), underline);
    EXPECT_NE(image.pixelColor(loss.center().x(), loss.bottom() + 1), underline);
}

}  // namespace
}  // namespace quarn::console::ui
