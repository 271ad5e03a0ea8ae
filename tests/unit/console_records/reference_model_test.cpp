#include "console/records/reference_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quarn::console::records {
namespace {

ChartSeries Points(const std::vector<float>& values) {
    ChartSeries series;
    for (float value : values)
        series.push_back(ChartPoint{value});
    return series;
}

std::vector<float> Values(const ChartSeries& series) {
    std::vector<float> values;
    for (const ChartPoint& point : series)
        values.push_back(point.value);
    return values;
}

TEST(Rebin, SecondsAreAveragedOrSpreadOverTheTargetBins) {
    const ChartSeries perSecond = Points({1, 3, 5, 7, 9, 11});
    EXPECT_EQ(Values(Rebin(perSecond, 1, 2, 10)), (std::vector<float>{2, 6, 10}));
    // A bin reaching past the known seconds is not made.
    EXPECT_EQ(Values(Rebin(perSecond, 1, 4, 10)), (std::vector<float>{4}));
    EXPECT_EQ(Values(Rebin(perSecond, 1, 1, 4)), (std::vector<float>{1, 3, 5, 7}));
    // Points before the first wanted one are gaps, the rest as before.
    EXPECT_EQ(Values(Rebin(perSecond, 1, 1, 4, 2)), (std::vector<float>{-1, -1, 5, 7}));
    // Bins of two laid on single seconds, and bins of two on bins of three (overlap-weighted).
    EXPECT_EQ(Values(Rebin(Points({2, 4}), 2, 1, 10)), (std::vector<float>{2, 2, 4, 4}));
    EXPECT_EQ(Values(Rebin(Points({2, 8, 5}), 2, 3, 10)), (std::vector<float>{4, 6}));
    EXPECT_TRUE(Rebin(perSecond, 0, 1, 10).empty());
}

TEST(Rebin, MissingSecondsAreLeftOutAndABinOfNothingStaysMissing) {
    const ChartSeries rtt = Points({-1, -1, 4, -1, 6, 8});
    EXPECT_EQ(Values(Rebin(rtt, 1, 2, 10)), (std::vector<float>{-1, 4, 7}));
}

PairRecord Pair(const std::string& from, const std::string& to) {
    PairRecord pair;
    pair.config.endpoint1 = from;
    pair.config.endpoint2 = to;
    return pair;
}

class ReferenceModelTest : public ::testing::Test {
  protected:
    // The current run: pairs A, B, C. The reference: C, an unknown pair, then A; its
    // chart has per-second curves whose value names the reference row (10 x row).
    void SetUp() override {
        current.AppendPair(Pair("198.18.0.1", "198.18.0.2"));
        current.AppendPair(Pair("198.18.0.3", "198.18.0.4"));
        current.AppendPair(Pair("198.18.0.5", "198.18.0.6"));
        chart.BeginRun(3);
        auto run = std::make_unique<ConsoleData>();
        run->table.AppendPair(Pair("198.18.0.5", "198.18.0.6"));
        run->table.AppendPair(Pair("198.18.0.9", "198.18.0.8"));
        run->table.AppendPair(Pair("198.18.0.1", "198.18.0.2"));
        run->chart.BeginRun(3);
        for (int second = 0; second < 90; ++second) {
            for (int row = 0; row <= 3; ++row) {
                run->chart.AppendPoint(row, 10.0f * static_cast<float>(row));
                if (row > 0)
                    run->chart.AppendQualityPoint(ChartMeasure::Latency, row, row * 1.0);
            }
        }
        reference.Set(std::move(run), "lab.config");
    }

    PairTable current;
    ChartModel chart;
    ReferenceModel reference;
};

TEST_F(ReferenceModelTest, PairsMatchByTheirAddressesWhateverOrderOrCountTheReferenceHas) {
    EXPECT_EQ(reference.RowFor(current, 0), 0);
    EXPECT_EQ(reference.RowFor(current, 1), 3);
    EXPECT_EQ(reference.RowFor(current, 2), std::nullopt);
    EXPECT_EQ(reference.RowFor(current, 3), 1);
    EXPECT_EQ(reference.RowFor(current, current[3].id), 1);
    EXPECT_EQ(reference.RowFor(current, 4), std::nullopt);

    // Each current row gets the curve of its counterpart, in its own place.
    const ChartSeries first = reference.CurveFor(current, chart, ChartMeasure::Throughput, 1);
    ASSERT_EQ(first.size(), 60u);  // the running chart's window
    EXPECT_EQ(first[0].value, 30.0f);
    EXPECT_TRUE(reference.CurveFor(current, chart, ChartMeasure::Throughput, 2).empty());
    EXPECT_EQ(reference.CurveFor(current, chart, ChartMeasure::Latency, 3)[59].value, 1.0f);
}

TEST_F(ReferenceModelTest, TheCurveFollowsTheCurrentChartsTimeAxis) {
    // A finished 30-second run shows 30 seconds; one of 180 shows 60 bins of 3 seconds,
    // of which the 90-second reference fills the first 30.
    chart.FinishRun(30, ChartScaleSource{});
    EXPECT_EQ(reference.CurveFor(current, chart, ChartMeasure::Throughput, 3).size(), 30u);
    chart.BeginRun(3);
    for (int second = 0; second < 180; ++second)
        chart.AppendPoint(1, 1.0f);
    chart.FinishRun(180, ChartScaleSource{});
    const ChartSeries binned = reference.CurveFor(current, chart, ChartMeasure::Throughput, 1);
    EXPECT_EQ(binned.size(), 30u);
    EXPECT_EQ(binned[29].value, 30.0f);
}

// The scale holds only what is drawn: the pairs that meet a current one (A's 30 and C's
// 10, not the unknown pair's 20) and the All curve.
TEST_F(ReferenceModelTest, PeaksAreThoseOfTheCurvesDrawn) {
    ThroughputPeaks peaks = reference.PeaksFor(current);
    EXPECT_FLOAT_EQ(peaks.pairs, 30.0f);
    EXPECT_FLOAT_EQ(peaks.all, 0.0f);
    PairTable onlyC;
    onlyC.AppendPair(Pair("198.18.0.5", "198.18.0.6"));
    EXPECT_FLOAT_EQ(reference.PeaksFor(onlyC).pairs, 10.0f);
    EXPECT_FLOAT_EQ(reference.PeaksFor(PairTable()).pairs, 0.0f);
    reference.Clear();
    peaks = reference.PeaksFor(current);
    EXPECT_FLOAT_EQ(peaks.pairs, 0.0f);
}

TEST_F(ReferenceModelTest, ClearingDropsEverythingAndSaysWhetherThereWasOne) {
    EXPECT_TRUE(reference.Clear());
    EXPECT_FALSE(reference.Active());
    EXPECT_EQ(reference.Label(), "");
    EXPECT_EQ(reference.RowFor(current, 1), std::nullopt);
    EXPECT_TRUE(reference.CurveFor(current, chart, ChartMeasure::Throughput, 1).empty());
    EXPECT_FALSE(reference.Clear());
}

}  // namespace
}  // namespace quarn::console::records
