#include "console/records/run_compare.h"

#include <gtest/gtest.h>

namespace quarn::console::records {
namespace {

PairRecord Pair(const std::string& from, const std::string& to, const std::string& average,
                const std::string& min = "1.00", const std::string& max = "9.00") {
    PairRecord pair;
    pair.config.endpoint1 = from;
    pair.config.endpoint2 = to;
    pair.figures.countText = "10";
    pair.figures.averageText = average;
    pair.figures.minText = min;
    pair.figures.maxText = max;
    return pair;
}

TEST(RunCompare, PercentIsTheChangeAgainstTheReferenceAndNoneAgainstZero) {
    EXPECT_DOUBLE_EQ(*PercentChange(110.0, 100.0), 10.0);
    EXPECT_DOUBLE_EQ(*PercentChange(50.0, 200.0), -75.0);
    EXPECT_DOUBLE_EQ(*PercentChange(0.0, 8.0), -100.0);
    EXPECT_FALSE(PercentChange(5.0, 0.0).has_value());
}

TEST(RunCompare, PairsMatchByAddressesWhateverTheirOrder) {
    PairTable current;
    current.AppendPair(Pair("198.18.0.1", "198.18.0.2", "120.00", "2.00", "9.00"));
    current.AppendPair(Pair("198.18.0.3", "198.18.0.4", "50.00"));
    current.AppendPair(Pair("198.18.0.9", "198.18.0.8", "10.00"));
    current.All().figures.countText = "10";
    current.All().figures.averageText = "180.00";
    PairTable reference;
    reference.AppendPair(Pair("198.18.0.3", "198.18.0.4", "100.00"));
    reference.AppendPair(Pair("198.18.0.1", "198.18.0.2", "100.00", "4.00", "9.00"));
    reference.All().figures.countText = "10";
    reference.All().figures.averageText = "200.00";

    const auto rows = ComparePairs(current, reference);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].referenceRow, 0);
    EXPECT_DOUBLE_EQ(*rows[0].averagePercent, -10.0);
    EXPECT_EQ(rows[1].referenceRow, 2);
    EXPECT_DOUBLE_EQ(*rows[1].averagePercent, 20.0);
    EXPECT_DOUBLE_EQ(*rows[1].minimumPercent, -50.0);
    EXPECT_DOUBLE_EQ(*rows[1].maximumPercent, 0.0);
    EXPECT_EQ(rows[2].referenceRow, 1);
    EXPECT_DOUBLE_EQ(*rows[2].averagePercent, -50.0);
    // A pair the reference never had has no counterpart and no figures.
    EXPECT_EQ(rows[3].referenceRow, -1);
    EXPECT_FALSE(rows[3].averagePercent.has_value());
}

TEST(RunCompare, TheSamePairTwiceMatchesInOrderAndUncountedRowsHaveNoFigures) {
    PairTable current;
    current.AppendPair(Pair("198.18.0.1", "198.18.0.2", "10.00"));
    current.AppendPair(Pair("198.18.0.1", "198.18.0.2", "30.00"));
    current.AppendPair(Pair("198.18.0.5", "198.18.0.6", "30.00"));
    PairTable reference;
    reference.AppendPair(Pair("198.18.0.1", "198.18.0.2", "20.00"));
    reference.AppendPair(Pair("198.18.0.1", "198.18.0.2", "20.00"));
    PairRecord silent = Pair("198.18.0.5", "198.18.0.6", "0.00");
    silent.figures.countText = "0";
    reference.AppendPair(silent);

    const auto rows = ComparePairs(current, reference);
    EXPECT_EQ(rows[1].referenceRow, 1);
    EXPECT_DOUBLE_EQ(*rows[1].averagePercent, -50.0);
    EXPECT_EQ(rows[2].referenceRow, 2);
    EXPECT_DOUBLE_EQ(*rows[2].averagePercent, 50.0);
    EXPECT_EQ(rows[3].referenceRow, 3);
    EXPECT_FALSE(rows[3].averagePercent.has_value());
    // Neither All row counted a second here.
    EXPECT_FALSE(rows[0].averagePercent.has_value());

    // A damaged figure is no figure, never a made-up change.
    current[1].figures.averageText = "fast";
    EXPECT_FALSE(ComparePairs(current, reference)[1].averagePercent.has_value());
}

}  // namespace
}  // namespace quarn::console::records
