#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "tests/unit/console_core/pair_rows.h"

namespace quarn::console {
namespace {

EndPointEntry Entry(const std::string& address, const std::string& name) {
    return EndPointEntry{address, "5001", "45000", name, name, name.empty() ? "" : "(" + name};
}

ConsoleData WithPairs(int pairs) {
    ConsoleData data;
    for (int i = 0; i < pairs; ++i) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0." + std::to_string(10 + i);
        pair.endpoint2 = "198.18.0.99";
        data.AddPair(pair);
    }
    return data;
}

TEST(ConsoleDataSwitchTest, TheProtocolSwitchKeepsEachProtocolsValueText) {
    ConsoleData data;
    data.settings.protocol = Protocol::Tcp;
    data.settings.windowSizeText = "5";
    data.settings.throughputText = "100";
    EXPECT_FALSE(data.SwitchProtocol(Protocol::Tcp, "8"));
    EXPECT_EQ(data.settings.windowSizeText, "5");  // no switch stores nothing

    ASSERT_TRUE(data.SwitchProtocol(Protocol::Udp, "8"));
    EXPECT_EQ(data.settings.protocol, Protocol::Udp);
    EXPECT_EQ(data.settings.windowSizeText, "8");  // the box's text, kept for TCP
    EXPECT_EQ(data.settings.ValueText(), "100");
    ASSERT_TRUE(data.SwitchProtocol(Protocol::Tcp, "250"));
    EXPECT_EQ(data.settings.throughputText, "250");
    EXPECT_EQ(data.settings.ValueText(), "8");
}

TEST(ConsoleDataSwitchTest, TheTotalSwitchFlipsTheAllRowBackAndForth) {
    ConsoleData data;
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    data.AddPair(pair);
    const bool before = data.table.All().config.showTotal;
    data.ToggleTotal();
    EXPECT_EQ(data.table.All().config.showTotal, !before);
    data.ToggleTotal();
    EXPECT_EQ(data.table.All().config.showTotal, before);
}

// Typed host names label their addresses but never replace a name an EndPoint told.
TEST(ConsoleDataLabelTest, TypedNamesLabelUnnamedAddressesAndShowNames) {
    ConsoleData data;
    data.nameLookup["198.18.0.3"] = "told";
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    pair.showAddress = true;
    data.KeepLabels(pair, "", "");
    EXPECT_TRUE(pair.showAddress);
    EXPECT_EQ(data.nameLookup.count("198.18.0.2"), 0u);

    data.KeepLabels(pair, "", "typed");
    EXPECT_FALSE(pair.showAddress);
    EXPECT_EQ(data.nameLookup.at("198.18.0.3"), "told");
    EXPECT_EQ(data.nameLookup.count("198.18.0.2"), 0u);

    PairConfig same;
    same.endpoint1 = same.endpoint2 = "198.18.0.7";
    data.KeepLabels(same, "first", "second");
    EXPECT_EQ(data.nameLookup.at("198.18.0.7"), "first");
}

TEST(HighlightTest, FollowsItsPairThroughDeletesAndGoesWithIt) {
    struct Case {
        int highlighted;  // row, -1 for none
        std::vector<int> deleted;
        int expectedRow;  // where the highlighted pair stands afterwards, -1 when gone
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
        data.highlighted = data.table.IdAt(c.highlighted);
        const PairId before = data.highlighted;
        EXPECT_TRUE(data.DeletePairs(ConsoleMode::Idle, test::IdsAt(data.table, c.deleted)).Ok());
        EXPECT_EQ(data.table.RowOf(data.highlighted), c.expectedRow) << c.highlighted;
        EXPECT_EQ(data.highlighted.Valid(), c.expectedRow > 0) << c.highlighted;
        if (c.expectedRow > 0) {
            EXPECT_EQ(data.highlighted, before);
        }
    }

    // A refused delete (wrong mode, nothing selected) changes nothing.
    ConsoleData data = WithPairs(3);
    data.highlighted = data.table.IdAt(3);
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Measuring, test::IdsAt(data.table, {1})).Ok());
    EXPECT_EQ(data.DeletePairs(ConsoleMode::Idle, {}).Why(), PairTable::kSelectPairToDelete);
    EXPECT_EQ(data.DeletePairs(ConsoleMode::Idle, {PairId()}).Why(),
              PairTable::kSelectPairToDelete);
    EXPECT_EQ(data.table.RowOf(data.highlighted), 3);
    data.PastePairs(ConsoleMode::Idle, PairClipboard{PairConfig{}});
    EXPECT_EQ(data.table.RowOf(data.highlighted), 3);
    data.ResetToNew();
    EXPECT_FALSE(data.highlighted.Valid());
}

TEST(SearchResultTest, NamesTheUnverifiedEndPointOfASelection) {
    ConsoleData data = WithPairs(0);
    EndPointEntry unverified = Entry("198.18.0.11", "");
    unverified.unverified = true;
    ASSERT_TRUE(data.ApplySearchResult({Entry("198.18.0.10", "lab-1"), unverified}));
    const std::optional<std::string> signedOne = std::string("198.18.0.10");
    const std::optional<std::string> unsignedOne = std::string("198.18.0.11");
    EXPECT_EQ(data.UnverifiedAmong(signedOne, signedOne), "");
    EXPECT_EQ(data.UnverifiedAmong(signedOne, unsignedOne), "198.18.0.11");
    EXPECT_EQ(data.UnverifiedAmong(unsignedOne, std::nullopt), "198.18.0.11");
    EXPECT_EQ(data.UnverifiedAmong(std::nullopt, std::nullopt), "");
    EXPECT_EQ(ConsoleData::UnverifiedNotice("198.18.0.11"),
              "198.18.0.11 did not prove the lab key.\nAdd the pair again to use it anyway.");
}

TEST(SearchResultTest, FillsEntriesLookupAndKnownFlag) {
    ConsoleData data = WithPairs(0);
    data.nameLookup["198.18.0.50"] = "earlier";
    data.nameLookup["198.18.0.10"] = "old name";

    EXPECT_TRUE(
        data.ApplySearchResult({Entry("198.18.0.10", "lab-1"), Entry("198.18.0.11", "")}).Ok());
    EXPECT_TRUE(data.endPointsKnown);
    ASSERT_EQ(data.endPoints.size(), 2u);
    EXPECT_EQ(data.endPoints[0].address, "198.18.0.10");
    EXPECT_EQ(data.nameLookup.at("198.18.0.10"), "lab-1");  // overwritten
    EXPECT_EQ(data.nameLookup.at("198.18.0.11"), "");
    EXPECT_EQ(data.nameLookup.at("198.18.0.50"), "earlier");  // kept from an earlier search
    // A name answered empty, or none at all: no name, and the address is shown.
    EXPECT_EQ(data.NameOf("198.18.0.10"), "lab-1");
    EXPECT_EQ(data.NameOf("198.18.0.11"), "");
    EXPECT_EQ(data.NameOf("198.18.0.99"), "");
    EXPECT_EQ(data.DisplayName("198.18.0.10"), "lab-1");
    EXPECT_EQ(data.DisplayName("198.18.0.11"), "198.18.0.11");
    EXPECT_EQ(data.DisplayName("198.18.0.99"), "198.18.0.99");
    // The "Add End Point" check uses the flag.
    EXPECT_TRUE(data.AddPairFromLists(std::string("198.18.0.10"), std::string("198.18.0.11")).Ok());

    data.BeginSearch();
    EXPECT_FALSE(data.endPointsKnown);
    EXPECT_TRUE(data.endPoints.empty());
    EXPECT_EQ(data.AddPairFromLists(std::string("198.18.0.10"), std::string("198.18.0.11")).Why(),
              PairTable::kNoEndPointFound);

    EXPECT_EQ(data.ApplySearchResult({}).Why(), PairTable::kNoEndPointFound);
    EXPECT_FALSE(data.endPointsKnown);
    EXPECT_EQ(data.nameLookup.size(), 3u);  // a search that finds nothing removes no name

    EXPECT_TRUE(data.ApplySearchResult({Entry("198.18.0.12", "x")}).Ok());
    data.ResetToNew();
    EXPECT_FALSE(data.endPointsKnown);
    EXPECT_TRUE(data.nameLookup.empty());
}

}  // namespace
}  // namespace quarn::console
