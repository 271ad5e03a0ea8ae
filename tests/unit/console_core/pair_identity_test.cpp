#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/tick_processor.h"
#include "tests/unit/console_core/pair_rows.h"
#include "tests/unit/console_core/recording_view.h"

namespace quarn::console {
namespace {

PairConfig Between(const std::string& endpoint1, const std::string& endpoint2) {
    PairConfig config;
    config.endpoint1 = endpoint1;
    config.endpoint2 = endpoint2;
    return config;
}

// Four pairs, each with one log line naming its first end.
ConsoleData FourPairsWithLogs() {
    ConsoleData data;
    for (int i = 1; i <= 4; ++i) {
        const std::string end = "198.18.0." + std::to_string(i);
        data.logs.Of(data.AddPair(Between(end, "198.18.9.9"))).Append("line of " + end);
    }
    data.chart.BeginRun(4);
    for (int row = 1; row <= 4; ++row) {
        data.chart.AppendPoint(row, static_cast<float>(row * 10));
    }
    return data;
}

std::string LogOf(const ConsoleData& data, PairId id) {
    const PairLog* log = data.logs.Find(id);
    return log && log->Size() > 0 ? std::string(log->Text(0)) : std::string();
}

TEST(PairIdentityTest, DeleteKeepsTheOthersWithTheirLogsAndCurves) {
    ConsoleData data = FourPairsWithLogs();
    const std::vector<PairId> ids = test::IdsAt(data.table, {1, 2, 3, 4});
    EXPECT_EQ(std::set<PairId>(ids.begin(), ids.end()).size(), 4u);
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Idle, {ids[0], ids[2]}).Ok());

    ASSERT_EQ(data.table.PairCount(), 2);
    EXPECT_EQ(test::IdsAt(data.table, {1, 2}), (std::vector<PairId>{ids[1], ids[3]}));
    EXPECT_EQ(data.table.RowOf(ids[3]), 2);
    EXPECT_EQ(data.table.RowOf(ids[0]), -1);
    EXPECT_EQ(data.table.Find(ids[2]), nullptr);
    // The names follow the rows; logs and curves follow the pairs.
    EXPECT_EQ(data.table.Find(ids[3])->name, "Pair2");
    EXPECT_EQ(LogOf(data, ids[1]), "line of 198.18.0.2");
    EXPECT_EQ(LogOf(data, ids[3]), "line of 198.18.0.4");
    EXPECT_EQ(data.logs.Find(ids[0]), nullptr);
    EXPECT_EQ(data.logs.Find(ids[2]), nullptr);
    ASSERT_EQ(data.chart.Series().size(), 3u);
    EXPECT_FLOAT_EQ(data.chart.Series()[1][0].value, 20.0f);
    EXPECT_FLOAT_EQ(data.chart.Series()[2][0].value, 40.0f);
}

TEST(PairIdentityTest, ExchangeEditAndActivateKeepThePair) {
    ConsoleData data = FourPairsWithLogs();
    const PairId second = data.table.IdAt(2);
    data.table.ExchangeEndpoints({second});
    data.table.EditPair(second, "198.18.5.5", data.table[2].config.endpoint2, 3);
    data.table.SetActive({second}, false);
    data.table.SetActive({second}, true);
    EXPECT_EQ(data.table.IdAt(2), second);
    EXPECT_EQ(data.table[2].config.endpoint1, "198.18.5.5");
    EXPECT_EQ(data.table[2].config.endpoint2, "198.18.0.2");
    EXPECT_EQ(data.table[2].config.parallel, 3);
    EXPECT_EQ(LogOf(data, second), "line of 198.18.0.2");
    // Ids that are not in the table change nothing.
    data.table.ExchangeEndpoints({PairId(), PairId::Next()});
    EXPECT_EQ(data.table[1].config.endpoint1, "198.18.0.1");
}

TEST(PairIdentityTest, PasteMakesNewPairsWithTheCopiedSetUp) {
    ConsoleData data = FourPairsWithLogs();
    data.table.SetActive({data.table.IdAt(3)}, false);
    PairClipboard clipboard;
    ASSERT_TRUE(
        data.table.CopyPairs(ConsoleMode::Idle, test::IdsAt(data.table, {3, 1}), clipboard));
    ASSERT_EQ(data.PastePairs(ConsoleMode::Idle, clipboard), 2);
    ASSERT_EQ(data.table.PairCount(), 6);
    const std::vector<PairId> all = test::IdsAt(data.table, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(std::set<PairId>(all.begin(), all.end()).size(), 6u);
    EXPECT_EQ(data.table[5].config.endpoint1, "198.18.0.1");
    EXPECT_TRUE(data.table[5].config.active);
    EXPECT_EQ(data.table[6].config.endpoint1, "198.18.0.3");
    EXPECT_FALSE(data.table[6].config.active);
    EXPECT_EQ(data.table[6].figures.statusText, "Inactive");
    EXPECT_EQ(data.logs.Find(data.table[5].id), nullptr);
    // Deleting the original leaves its copy alone.
    const PairId copy = data.table[5].id;
    EXPECT_TRUE(data.DeletePairs(ConsoleMode::Idle, {data.table.IdAt(1)}).Ok());
    EXPECT_EQ(data.table.RowOf(copy), 4);
}

TEST(PairIdentityTest, TicksReportLinesByPairAndNewForgetsLogs) {
    ConsoleData data;
    test::RecordingView view;
    TickProcessor ticks(data, view);
    const PairId first = data.AddPair(Between("198.18.0.1", "198.18.0.2"));
    const PairId second = data.AddPair(Between("198.18.0.3", "198.18.0.4"));
    data.chart.BeginRun(2);
    ticks.BeginRun(std::chrono::seconds(60), false);
    ticks.HandleLine(2, "connect failed: refused");
    EXPECT_EQ(view.lastLogPair, second);
    EXPECT_EQ(LogOf(data, second), "connect failed: refused");
    EXPECT_EQ(data.logs.Find(first), nullptr);
    data.ResetToNew();
    EXPECT_EQ(data.logs.Find(second), nullptr);
}

TEST(PairIdentityTest, TablesNeverShareIds) {
    // A file is read into a table of its own; its pairs must not take ids the window's
    // pairs (or windows still naming them) hold.
    ConsoleData window = FourPairsWithLogs();
    ConsoleData read = FourPairsWithLogs();
    std::set<PairId> ids;
    for (const ConsoleData* data : {&window, &read}) {
        for (int row = 0; row < data->table.Size(); ++row) {
            EXPECT_TRUE(ids.insert(data->table[row].id).second) << row;
        }
    }
    const ConsoleData copy = window;
    EXPECT_EQ(test::IdsAt(copy.table, {1, 2, 3, 4}), test::IdsAt(window.table, {1, 2, 3, 4}));
}

}  // namespace
}  // namespace quarn::console
