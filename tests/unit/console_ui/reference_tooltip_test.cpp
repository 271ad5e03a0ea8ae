#include "console/ui/reference_tooltip.h"

#include <gtest/gtest.h>

#include "console/core/pair_record.h"

namespace quarn::console::ui {
namespace {

PairRecord Measured(const char* average, const char* min, const char* max) {
    PairRecord pair;
    pair.figures.countText = "60";
    pair.figures.averageText = average;
    pair.figures.minText = min;
    pair.figures.maxText = max;
    return pair;
}

TEST(ReferenceTooltipTest, EachFigureStandsBesideTheReferencesWithTheChange) {
    PairRecord now = Measured("94.10", "90.00", "101.00");
    now.figures.quality.rttLoadedMedianMs = 12.3;
    PairRecord then = Measured("97.30", "90.02", "100.00");
    then.figures.quality.rttLoadedMedianMs = 3.1;
    const std::vector<std::string> expected = {
        "Reference: lab.config",
        "Average 94.1 Mbit/s (reference 97.3, \u22123.3 %)",
        "Minimum 90.0 Mbit/s (reference 90.0, 0.0 %)",  // -0.02 %: no sign on a zero
        "Maximum 101.0 Mbit/s (reference 100.0, +1.0 %)",
        "RTT load 12.30 ms (reference 3.10 ms)",
    };
    EXPECT_EQ(ReferenceFigureLines(now, &then, "lab.config"), expected);
}

TEST(ReferenceTooltipTest, MissingSidesShowADashAndNoChange) {
    PairRecord now;  // not measured yet
    PairRecord then = Measured("97.30", "0.00", "0.00");
    then.figures.quality.lossPercent = 1.2;
    const std::vector<std::string> lines = ReferenceFigureLines(now, &then, "r");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "Average \u2013 (reference 97.3)");
    EXPECT_EQ(lines[4], "Loss \u2013 (reference 1.20 %)");
    // Against a reference of zero there is no share to give.
    const PairRecord silent = Measured("5.00", "0.00", "9.00");
    EXPECT_EQ(ReferenceFigureLines(silent, &then, "r")[2], "Minimum 0.0 Mbit/s (reference 0.0)");
    EXPECT_EQ(
        ReferenceFigureLines(silent, nullptr, "r"),
        (std::vector<std::string>{"Reference: r", "No pair of these addresses in the reference"}));
}

}  // namespace
}  // namespace quarn::console::ui
