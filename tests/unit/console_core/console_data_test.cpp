#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/core/console_data.h"

namespace quarn::console {
namespace {

EndPointEntry Entry(const std::string& address, const std::string& name) {
    return EndPointEntry{address, "5001", "45000", name, name, name.empty() ? "" : "(" + name};
}

ConsoleData WithPairs(int pairs) {
    ConsoleData data;
    for (int i = 0; i < pairs; ++i) {
        PairRecord pair;
        pair.endpoint1 = "198.18.0." + std::to_string(10 + i);
        pair.endpoint2 = "198.18.0.99";
        data.AddPair(pair);
    }
    return data;
}

TEST(HighlightedRowTest, FollowsItsRowThroughDeletesAndGoesWithIt) {
    struct Case {
        int highlighted;
        std::vector<int> deleted;
        int expected;
    };
    const Case cases[] = {
        {4, {2}, 3},         // a row before it goes: it moves up
        {4, {1, 3}, 2},      // two before it
        {2, {3, 4}, 2},      // rows after it do not matter
        {3, {3}, -1},        // its own row goes
        {3, {1, 3, 4}, -1},  // together with others
        {-1, {2}, -1},       // none stays none
        {2, {1, 2, 3, 4}, -1},
    };
    for (const Case& c : cases) {
        ConsoleData data = WithPairs(4);
        data.highlightedRow = c.highlighted;
        std::vector<int> rowMap;
        EXPECT_EQ(data.DeletePairs(ConsoleMode::Idle, c.deleted, &rowMap), "");
        EXPECT_EQ(data.highlightedRow, c.expected) << c.highlighted;
        // The same numbering the log windows get.
        if (c.expected > 0) {
            EXPECT_EQ(rowMap[static_cast<std::size_t>(c.highlighted)], c.expected);
        }
    }

    // A refused delete (wrong mode, nothing selected) moves nothing.
    ConsoleData data = WithPairs(3);
    data.highlightedRow = 3;
    EXPECT_EQ(data.DeletePairs(ConsoleMode::Measuring, {1}), "");
    EXPECT_EQ(data.DeletePairs(ConsoleMode::Idle, {}), PairTable::kSelectPairToDelete);
    EXPECT_EQ(data.highlightedRow, 3);
    data.PastePairs(ConsoleMode::Idle, PairClipboard{PairRecord{}});
    EXPECT_EQ(data.highlightedRow, 3);
    data.ResetToNew();
    EXPECT_EQ(data.highlightedRow, -1);
}

TEST(SearchResultTest, FillsEntriesLookupAndKnownFlag) {
    ConsoleData data = WithPairs(0);
    data.nameLookup["198.18.0.50"] = "earlier";
    data.nameLookup["198.18.0.10"] = "old name";

    EXPECT_EQ(data.ApplySearchResult({Entry("198.18.0.10", "lab-1"), Entry("198.18.0.11", "")}),
              "");
    EXPECT_TRUE(data.endPointsKnown);
    ASSERT_EQ(data.endPoints.size(), 2u);
    EXPECT_EQ(data.endPoints[0].address, "198.18.0.10");
    EXPECT_EQ(data.nameLookup.at("198.18.0.10"), "lab-1");  // overwritten
    EXPECT_EQ(data.nameLookup.at("198.18.0.11"), "");
    EXPECT_EQ(data.nameLookup.at("198.18.0.50"), "earlier");  // kept from an earlier search
    EXPECT_EQ(data.DisplayName("198.18.0.11"), "198.18.0.11");
    // The "Add End Point" check uses the flag.
    EXPECT_EQ(data.AddPairFromLists(std::string("198.18.0.10"), std::string("198.18.0.11")), "");

    data.BeginSearch();
    EXPECT_FALSE(data.endPointsKnown);
    EXPECT_TRUE(data.endPoints.empty());
    EXPECT_EQ(data.AddPairFromLists(std::string("198.18.0.10"), std::string("198.18.0.11")),
              PairTable::kNoEndPointFound);

    EXPECT_EQ(data.ApplySearchResult({}), PairTable::kNoEndPointFound);
    EXPECT_FALSE(data.endPointsKnown);
    EXPECT_EQ(data.nameLookup.size(), 3u);  // a search that finds nothing removes no name

    data.ApplySearchResult({Entry("198.18.0.12", "x")});
    data.ResetToNew();
    EXPECT_FALSE(data.endPointsKnown);
    EXPECT_TRUE(data.nameLookup.empty());
}

}  // namespace
}  // namespace quarn::console
