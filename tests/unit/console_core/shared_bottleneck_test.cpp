#include "console/core/shared_bottleneck.h"

#include <gtest/gtest.h>

namespace quarn::console {
namespace {

std::vector<IsolationFigure> Figures(const std::vector<std::pair<double, double>>& aloneTogether) {
    std::vector<IsolationFigure> figures;
    for (const auto& [alone, together] : aloneTogether) {
        IsolationFigure figure;
        figure.number = static_cast<int>(figures.size()) + 1;
        figure.aloneMbps = alone;
        figure.togetherMbps = together;
        figures.push_back(figure);
    }
    return figures;
}

std::vector<std::vector<int>> Groups(const std::vector<std::pair<double, double>>& figures) {
    std::vector<std::vector<int>> groups;
    for (const SharedBottleneck& group : FindSharedBottlenecks(Figures(figures)))
        groups.push_back(group.pairs);
    return groups;
}

using G = std::vector<std::vector<int>>;

// Three pairs through one gigabit uplink, two through nothing shared: the three are named
// with the sum of what they made at once.
TEST(SharedBottleneck, NamesThePairsThatShareAndTheirCeiling) {
    const auto found = FindSharedBottlenecks(
        Figures({{941, 310}, {930, 900}, {938, 320}, {120, 119}, {945, 312}}));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].pairs, (std::vector<int>{1, 3, 5}));
    EXPECT_DOUBLE_EQ(found[0].ceilingMbps, 942.0);
    EXPECT_EQ(DescribeBottleneck(found[0]), "pairs 1, 3 and 5 share about 940 Mbit/s");
    SharedBottleneck two;
    two.pairs = {2, 4};
    two.ceilingMbps = 19.4;
    EXPECT_EQ(DescribeBottleneck(two), "pairs 2 and 4 share about 19 Mbit/s");
    EXPECT_EQ(AboutMbpsText(9.46), "9.5");
    EXPECT_EQ(AboutMbpsText(99.4), "99");
    EXPECT_EQ(AboutMbpsText(945.0), "950");
}

// A pair that keeps 85 % or more did not drop; just under, it did.
TEST(SharedBottleneck, ADropIsBelowEightyFivePercent) {
    EXPECT_EQ(Groups({{100, 86}, {100, 14}}), G{});  // pair 1 kept 86 %: nothing shared
    EXPECT_EQ(Groups({{100, 84}, {100, 16}}), (G{{1, 2}}));
    EXPECT_EQ(Groups({{100, 100}, {100, 100}}), G{});
    // A pair that made nothing alone failed; it shares nothing.
    EXPECT_EQ(Groups({{0, 0}, {100, 50}, {100, 50}}), (G{{2, 3}}));
}

// The sum together must come within 15 % of the ceiling reached alone.
TEST(SharedBottleneck, TheSumMustMeetTheCeiling) {
    EXPECT_EQ(Groups({{100, 43}, {100, 43}}), (G{{1, 2}}));  // 86
    EXPECT_EQ(Groups({{100, 42}, {100, 42}}), G{});          // 84: something else took it
    EXPECT_EQ(Groups({{100, 57}, {100, 57}}), (G{{1, 2}}));  // 114
    EXPECT_EQ(Groups({{100, 58}, {100, 58}}), G{});          // 116
    // A lone dropped pair is no group.
    EXPECT_EQ(Groups({{100, 50}, {300, 290}}), G{});
}

// Alone figures more than 15 % apart are different ceilings: two links, two groups; four
// pairs at one ceiling adding to twice it cannot be told apart and are not named.
TEST(SharedBottleneck, DifferentCeilingsAreDifferentGroups) {
    EXPECT_EQ(Groups({{940, 470}, {95, 48}, {930, 465}, {94, 47}}), (G{{1, 3}, {2, 4}}));
    EXPECT_EQ(Groups({{100, 50}, {86, 43}}), (G{{1, 2}}));
    EXPECT_EQ(Groups({{100, 50}, {84, 42}}), G{});
    EXPECT_EQ(Groups({{100, 50}, {100, 50}, {100, 50}, {100, 50}}), G{});
}

}  // namespace
}  // namespace quarn::console
