#include "console/files/tick_csv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace quarn::console {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TickCsv, WritesHeaderAndOneRowPerTickWithInactivePairsEmpty) {
    PairTable table;
    for (int i = 0; i < 3; ++i)
        table.AppendPair(PairRecord{});
    table[2].config.active = false;
    const auto path = std::filesystem::temp_directory_path() / "quarn_tick_csv_test.csv";
    TickCsv csv;
    ASSERT_TRUE(csv.Open(path.string(), table));
    table[1].figures.current = 940.234f;
    table[3].figures.current = 10.0f;
    table.All().figures.sum = 950.234f;
    csv.WriteTick(1, table);
    // Rows are on disk before the file is closed: a cut-short run keeps them.
    EXPECT_EQ(ReadAll(path),
              "tick,Pair1,Pair2,Pair3,All,Pair1 RTT ms,Pair2 RTT ms,Pair3 RTT ms\n"
              "1,940.23,,10.00,950.23,,,\n");
    csv.Close();
    EXPECT_TRUE(csv.Good());
    std::filesystem::remove(path);
}

// The largest float takes 42 characters: each figure stays whole and each row on a
// line of its own, the last one ended too.
TEST(TickCsv, HugeFiguresAreNeverCut) {
    PairTable table;
    for (int i = 0; i < 2; ++i)
        table.AppendPair(PairRecord{});
    const auto path = std::filesystem::temp_directory_path() / "quarn_tick_csv_huge_test.csv";
    TickCsv csv;
    ASSERT_TRUE(csv.Open(path.string(), table));
    const std::string biggest = "340282346638528859811704183484516925440.00";
    for (int tick = 1; tick <= 3; ++tick) {
        table[1].figures.current = 3.4e38f;
        table[2].figures.current = -std::numeric_limits<float>::max();
        table.All().figures.sum = std::numeric_limits<float>::max();
        csv.WriteTick(tick, table);
    }
    csv.Close();
    EXPECT_TRUE(csv.Good());
    std::string expected = "tick,Pair1,Pair2,All,Pair1 RTT ms,Pair2 RTT ms\n";
    for (int tick = 1; tick <= 3; ++tick) {
        char exact[64];
        std::snprintf(exact, sizeof exact, "%.2f", static_cast<double>(3.4e38f));
        expected += std::to_string(tick) + "," + exact + ",-" + biggest + "," + biggest + ",,\n";
    }
    EXPECT_EQ(ReadAll(path), expected);
    std::filesystem::remove(path);
}

// A UDP run: loss and jitter of the second and the latest round trip of each pair after
// the throughput columns, named with their units; no figure is an empty cell.
TEST(TickCsv, UdpRunsGetLossJitterAndRttOfEachSecond) {
    PairTable table;
    for (int i = 0; i < 3; ++i)
        table.AppendPair(PairRecord{});
    for (int r = 1; r <= 3; ++r)
        table[r].run.protocol = Protocol::Udp;
    table[3].config.active = false;
    table[3].figures.quality.lastRttMs = 9.0;  // inactive: never shown
    const auto path = std::filesystem::temp_directory_path() / "quarn_tick_csv_udp_test.csv";
    TickCsv csv;
    ASSERT_TRUE(csv.Open(path.string(), table));
    table[1].figures.current = 95.5f;
    table[1].figures.quality.lastLossPercent = 66.66666;
    table[1].figures.quality.lastJitterMs = 0.0125;
    table[1].figures.quality.lastRttMs = 41.25;
    table[2].figures.quality.lastLossPercent = 0.0;
    table.All().figures.sum = 95.5f;
    csv.WriteTick(1, table);
    csv.Close();
    EXPECT_TRUE(csv.Good());
    EXPECT_EQ(ReadAll(path),
              "tick,Pair1,Pair2,Pair3,All,"
              "Pair1 loss %,Pair1 jitter ms,Pair1 RTT ms,"
              "Pair2 loss %,Pair2 jitter ms,Pair2 RTT ms,"
              "Pair3 loss %,Pair3 jitter ms,Pair3 RTT ms\n"
              "1,95.50,0.00,,95.50,66.667,0.013,41.250,0.000,,,,,\n");
    std::filesystem::remove(path);
}

TEST(TickCsv, FileWithoutSecondsStillGetsItsHeader) {
    PairTable table;
    table.AppendPair(PairRecord{});
    const auto path = std::filesystem::temp_directory_path() / "quarn_tick_csv_empty_test.csv";
    TickCsv csv;
    ASSERT_TRUE(csv.Open(path.string(), table));
    EXPECT_EQ(ReadAll(path), "");
    csv.Close();
    EXPECT_EQ(ReadAll(path), "tick,Pair1,All,Pair1 RTT ms\n");
    std::filesystem::remove(path);
}

TEST(TickCsv, ReportsAnUncreatableFile) {
    PairTable table;
    TickCsv csv;
    EXPECT_FALSE(csv.Open("/nonexistent-dir/x.csv", table));
    EXPECT_FALSE(csv.Good());
}

}  // namespace
}  // namespace quarn::console
