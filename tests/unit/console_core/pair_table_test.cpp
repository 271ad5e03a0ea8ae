#include "console/core/pair_table.h"

#include <gtest/gtest.h>

#include "console/core/console_data.h"
#include "tests/unit/console_core/pair_rows.h"

namespace quarn::console {
namespace {

PairConfig PairBetween(const std::string& endpoint1, const std::string& endpoint2) {
    PairConfig pair;
    pair.endpoint1 = endpoint1;
    pair.endpoint2 = endpoint2;
    return pair;
}

void FillPairs(ConsoleData& data, int count) {
    for (int i = 0; i < count; ++i) {
        data.AddPair(PairBetween("198.18.0." + std::to_string(10 + i), "198.18.0.99"));
    }
}

TEST(PairTableTest, AddFromListsChecksInOrder) {
    ConsoleData data;
    const std::optional<std::string> none;
    const std::optional<std::string> a = "198.18.0.10";
    const std::optional<std::string> b = "198.18.0.11";
    EXPECT_EQ(data.AddPairFromLists(false, a, b).Why(), "No End Point found.");
    EXPECT_EQ(data.AddPairFromLists(true, none, none).Why(), "Select End Point 1.");
    EXPECT_EQ(data.AddPairFromLists(true, a, none).Why(), "Select End Point 2.");
    EXPECT_EQ(data.table.PairCount(), 0);

    // The same EndPoint at both ends; the answer is the new pair's id.
    const Result<PairId> added = data.AddPairFromLists(true, a, a);
    ASSERT_TRUE(added.Ok());
    EXPECT_EQ(*added, data.table.IdAt(data.table.PairCount()));
    ASSERT_EQ(data.table.PairCount(), 1);
    EXPECT_EQ(data.table[1].name, "Pair1");
    EXPECT_EQ(data.table[1].config.endpoint2, "198.18.0.10");
    EXPECT_EQ(data.chart.PairCount(), 1);

    FillPairs(data, 15);
    EXPECT_EQ(data.AddPairFromLists(false, none, none).Why(), "No End Point found.");
    EXPECT_EQ(data.AddPairFromLists(true, none, none).Why(), "The max count of pairs is 16.");
    EXPECT_EQ(data.table.CheckRoomForPair().Why(), "The max count of pairs is 16.");
    EXPECT_FALSE(data.AddPair(PairBetween("1.1.1.1", "2.2.2.2")).Valid());
    EXPECT_EQ(data.table.PairCount(), 16);
    EXPECT_EQ(data.table[16].name, "Pair16");
}

TEST(PairTableTest, PasteFillsOnlyUpToSixteenPairs) {
    ConsoleData data;
    FillPairs(data, 14);
    data.table.SetActive(test::IdsAt(data.table, {3}), false);
    data.logs.Of(data.table[1].id).Append("a line of the last run");
    data.table[1].figures.currentText = "12.00";
    PairClipboard clipboard;
    ASSERT_TRUE(data.table.CopyPairs(ConsoleMode::Idle, test::IdsAt(data.table, {5, 1, 3, 2, 4, 1}),
                                     clipboard));
    ASSERT_EQ(clipboard.size(), 5u);  // row order, each pair once
    EXPECT_EQ(clipboard[0].endpoint1, "198.18.0.10");
    EXPECT_FALSE(clipboard[2].active);

    PairClipboard untouched(1);
    EXPECT_FALSE(
        data.table.CopyPairs(ConsoleMode::Measuring, test::IdsAt(data.table, {1}), untouched));
    EXPECT_FALSE(
        data.table.CopyPairs(ConsoleMode::Idle, test::IdsAt(data.table, {0, 20}), untouched));
    EXPECT_EQ(untouched.size(), 1u);
    EXPECT_EQ(data.PastePairs(ConsoleMode::Measuring, clipboard), 0);
    EXPECT_EQ(data.PastePairs(ConsoleMode::Idle, clipboard), 2);
    ASSERT_EQ(data.table.PairCount(), 16);
    EXPECT_EQ(data.table[15].name, "Pair15");
    EXPECT_EQ(data.table[15].config.endpoint1, "198.18.0.10");
    EXPECT_EQ(data.table[16].name, "Pair16");
    EXPECT_EQ(data.table[16].config.endpoint1, "198.18.0.11");
    // A pasted pair is a new pair: its own id, no log, no figures of the copied one.
    EXPECT_NE(data.table[15].id, data.table[1].id);
    EXPECT_EQ(data.logs.Find(data.table[15].id), nullptr);
    EXPECT_EQ(data.table[15].figures.currentText, "0.00");
    EXPECT_EQ(data.chart.PairCount(), 16);
    EXPECT_EQ(clipboard.size(), 5u);
    EXPECT_EQ(data.PastePairs(ConsoleMode::Idle, clipboard), 0);
}

TEST(PairTableTest, DeleteRenamesAndKeepsTheChartInStep) {
    ConsoleData data;
    FillPairs(data, 3);
    data.chart.BeginRun(3);
    data.chart.AppendPoint(3, 33.0f);
    const PairId first = data.table[1].id;
    const PairId third = data.table[3].id;
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Idle, test::IdsAt(data.table, {2})).Ok());
    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(data.table[2].name, "Pair2");
    EXPECT_EQ(data.table[2].config.endpoint1, "198.18.0.12");
    EXPECT_EQ(data.table[1].id, first);
    EXPECT_EQ(data.table[2].id, third);
    ASSERT_EQ(data.chart.Series().size(), 3u);
    ASSERT_EQ(data.chart.Series()[2].size(), 1u);
    EXPECT_FLOAT_EQ(data.chart.Series()[2][0].value, 33.0f);
    EXPECT_EQ(data.chart.PairCount(), 2);
}

TEST(PairTableTest, DeleteRefusalsAndModes) {
    ConsoleData data;
    FillPairs(data, 2);
    EXPECT_EQ(data.DeletePairs(ConsoleMode::Idle, test::IdsAt(data.table, {})).Why(),
              "Select pair to delete.");
    EXPECT_EQ(data.DeletePairs(ConsoleMode::Idle, test::IdsAt(data.table, {0})).Why(),
              "Select pair to delete.");
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Measuring, test::IdsAt(data.table, {1})).Ok());
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::FileBusy, test::IdsAt(data.table, {1})).Ok());
    EXPECT_EQ(data.table.PairCount(), 2);
}

TEST(PairTableTest, DeletingEveryPairResetsAllAndTheChart) {
    ConsoleData data;
    FillPairs(data, 2);
    PairRecord& all = data.table.All();
    all.figures.countText = "24";
    all.figures.maxText = "99.00";
    all.figures.max = 99.0f;
    data.chart.BeginRun(2);
    data.chart.AppendPoint(0, 5.0f);
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Idle, test::IdsAt(data.table, {2, 1})).Ok());
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_EQ(all.figures.countText, "0");
    EXPECT_EQ(all.figures.maxText, "0.00");
    EXPECT_FLOAT_EQ(all.figures.max, 0.0f);
    EXPECT_FLOAT_EQ(all.figures.min, -1.0f);
    EXPECT_TRUE(data.chart.Series().empty());
    EXPECT_EQ(data.chart.PairCount(), 0);
}

TEST(PairTableTest, ActivateShowAndExchangeActOnTheSelection) {
    ConsoleData data;
    FillPairs(data, 3);
    data.table.SetActive(test::IdsAt(data.table, {1, 3}), false);
    EXPECT_EQ(data.table[1].figures.statusText, "Inactive");
    EXPECT_EQ(data.table[1].figures.state, PairState::Inactive);
    EXPECT_EQ(data.table[2].figures.statusText, "Ready");
    data.table.SetActive(test::IdsAt(data.table, {1}), true);
    EXPECT_TRUE(data.table[1].config.active);
    EXPECT_EQ(data.table[1].figures.statusText, "Ready");

    data.table.SetShowAddress(test::IdsAt(data.table, {2}), false);
    EXPECT_FALSE(data.table[2].config.showAddress);
    EXPECT_TRUE(data.table[1].config.showAddress);

    data.table.ExchangeEndpoints(test::IdsAt(data.table, {2, 2, 7}));
    EXPECT_EQ(data.table[2].config.endpoint1, "198.18.0.99");
    EXPECT_EQ(data.table[2].config.endpoint2, "198.18.0.11");
}

TEST(PairTableTest, ResetForRunKeepsIdentityAndInactiveState) {
    PairRecord pair;
    pair.config = PairBetween("198.18.0.10", "198.18.0.11");
    pair.config.active = false;
    pair.figures.state = PairState::Inactive;
    pair.figures.statusText = "Inactive";
    pair.config.parallel = 4;
    pair.figures.count = 5;
    pair.figures.max = 80.0f;
    pair.run.rateText = "5.000000m";
    PairTable::ResetForRun(pair);
    EXPECT_EQ(pair.figures.statusText, "Inactive");
    EXPECT_EQ(pair.config.parallel, 4);
    EXPECT_EQ(pair.config.endpoint1, "198.18.0.10");
    EXPECT_EQ(pair.figures.count, 0);
    EXPECT_FLOAT_EQ(pair.figures.min, -1.0f);
    EXPECT_FLOAT_EQ(pair.figures.max, 0.0f);
    EXPECT_TRUE(pair.run.rateText.empty());
}

TEST(ConsoleDataTest, NewClearsTheWorkingState) {
    ConsoleData data;
    FillPairs(data, 2);
    data.endPoints.push_back(EndPointEntry{"198.18.0.10", "5001", "45000", "a", "a", "(a"});
    data.nameLookup["198.18.0.10"] = "a";
    data.measuredAt = "2024-01-02 03:04:05";
    data.ticks = 12;
    data.settings.durationText = "300";
    data.table.All().config.showTotal = true;
    data.chart.BeginRun(2);
    data.ResetToNew();
    EXPECT_EQ(data.table.PairCount(), 0);
    EXPECT_TRUE(data.endPoints.empty());
    EXPECT_TRUE(data.nameLookup.empty());
    EXPECT_TRUE(data.measuredAt.empty());
    EXPECT_EQ(data.ticks, 0);
    EXPECT_EQ(data.settings.durationText, "60");
    EXPECT_FALSE(data.table.All().config.showTotal);
    EXPECT_TRUE(data.chart.Series().empty());
}

TEST(ConsoleDataTest, DisplayNameFallsBackToTheAddress) {
    ConsoleData data;
    data.nameLookup["198.18.0.10"] = "lab-1";
    data.nameLookup["198.18.0.11"] = "";
    EXPECT_EQ(data.DisplayName("198.18.0.10"), "lab-1");
    EXPECT_EQ(data.DisplayName("198.18.0.11"), "198.18.0.11");
    EXPECT_EQ(data.DisplayName("198.18.0.12"), "198.18.0.12");
}

}  // namespace
}  // namespace quarn::console
