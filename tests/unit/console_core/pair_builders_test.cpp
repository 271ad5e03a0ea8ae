#include "console/core/pair_builders.h"

#include <gtest/gtest.h>

namespace quarn::console {
namespace {

using Ends = std::vector<BuiltPair>;

TEST(PairBuilders, MeshFanInAndFanOut) {
    EXPECT_EQ(MeshPairs({"a", "b", "c"}),
              (Ends{{"a", "b"}, {"a", "c"}, {"b", "a"}, {"b", "c"}, {"c", "a"}, {"c", "b"}}));
    EXPECT_TRUE(MeshPairs({"a"}).empty());
    EXPECT_EQ(MeshPairs({"a", "b", "c", "d"}).size(), 12u);
    EXPECT_EQ(FanInPairs({"a", "b"}, "t"), (Ends{{"a", "t"}, {"b", "t"}}));
    EXPECT_EQ(FanOutPairs("t", {"a", "b"}), (Ends{{"t", "a"}, {"t", "b"}}));
}

// A reverse already there, or made once, is not made again.
TEST(PairBuilders, ReversesOnlyWhatIsMissing) {
    EXPECT_EQ(ReversePairs({{"a", "b"}, {"c", "d"}}), (Ends{{"b", "a"}, {"d", "c"}}));
    EXPECT_EQ(ReversePairs({{"a", "b"}, {"b", "a"}, {"a", "c"}}), (Ends{{"c", "a"}}));
    EXPECT_EQ(ReversePairs({{"a", "b"}, {"a", "b"}}), (Ends{{"b", "a"}}));
    EXPECT_TRUE(ReversePairs({}).empty());
}

TEST(PairBuilders, RoomIsTheSixteenPairs) {
    EXPECT_TRUE(CheckBuilderRoom("--mesh", 4, 12));
    EXPECT_TRUE(CheckBuilderRoom("--mesh", 0, 16));
    EXPECT_EQ(CheckBuilderRoom("--mesh", 0, 20).Why(),
              "--mesh would make 20 pairs; the max count of pairs is 16.");
    EXPECT_EQ(CheckBuilderRoom("Both ways", 9, 8).Why(),
              "Both ways would make 17 pairs; the max count of pairs is 16.");
}

// The window's builders read the two lists' selections; a selection that does not fit
// says what to select, and an EndPoint on both sides is not paired with itself.
TEST(PairBuilders, FromTheListsSelections) {
    using B = ListBuilder;
    EXPECT_EQ(BuildFromLists(B::Mesh, {"a", "b"}, {"z"})->size(), 2u);
    EXPECT_EQ(BuildFromLists(B::Mesh, {"a"}, {"b", "c"}).Why(),
              "Select two or more End Points 1 for the mesh.");
    EXPECT_EQ(*BuildFromLists(B::FanIn, {"a", "t", "b"}, {"t"}), (Ends{{"a", "t"}, {"b", "t"}}));
    EXPECT_EQ(BuildFromLists(B::FanIn, {"a", "b"}, {"t", "u"}).Why(),
              "Select one End Point 2 for fan-in.");
    EXPECT_EQ(BuildFromLists(B::FanIn, {"t"}, {"t"}).Why(),
              "Select End Points 1 other than End Point 2 for fan-in.");
    EXPECT_EQ(*BuildFromLists(B::FanOut, {"s"}, {"a", "s", "b"}), (Ends{{"s", "a"}, {"s", "b"}}));
    EXPECT_EQ(BuildFromLists(B::FanOut, {}, {"a"}).Why(), "Select one End Point 1 for fan-out.");
    EXPECT_EQ(BuildFromLists(B::FanOut, {"s"}, {}).Why(),
              "Select End Points 2 other than End Point 1 for fan-out.");
}

}  // namespace
}  // namespace quarn::console
