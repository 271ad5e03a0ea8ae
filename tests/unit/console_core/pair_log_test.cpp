#include "console/core/pair_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarn::console {
namespace {

std::string IntervalLine(int second) {
    return "[  1] " + std::to_string(second) + ".0000-" + std::to_string(second + 1) +
           ".0000 sec  2932 MBytes  24594 Mbits/sec";
}

TEST(PairLogTest, KeepsEveryLineAcrossBlocksIncludingEmptyAndHugeOnes) {
    std::vector<std::string> lines;
    for (int i = 0; i < 5000; ++i) {
        lines.push_back(IntervalLine(i));
        if (i % 700 == 0) {
            lines.emplace_back();
        }
        if (i == 2500) {
            lines.push_back(std::string(200 * 1024, 'x'));  // larger than any block
        }
    }
    PairLog log;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        log.Append(lines[i], i % 3 == 0);
    }
    ASSERT_EQ(log.Size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(log.Text(i), lines[i]) << i;
        ASSERT_EQ(log.Counted(i), i % 3 == 0) << i;
    }
    EXPECT_EQ(log.Text(lines.size()), "");
    EXPECT_FALSE(log.Counted(lines.size()));
    log.Append("last");
    log.MarkLastCounted();
    EXPECT_TRUE(log.At(lines.size()).counted);
    EXPECT_FALSE(log.Counted(lines.size() - 1));
}

// An empty line after a line that fills its block to the last byte must not point
// past the pages that block owns.
TEST(PairLogTest, EmptyLineAfterAnExactlyFullBlockReadsBack) {
    const std::string forced(65536, 'f');
    PairLog log;
    log.Append(forced);
    log.Append("");
    ASSERT_EQ(log.Size(), 2u);
    EXPECT_EQ(log.Text(1), "");
    EXPECT_EQ(log.Text(0), forced);
    log.Append("after");
    EXPECT_EQ(log.Text(1), "");
    EXPECT_EQ(log.Text(2), "after");

    // The same after smaller blocks have filled up exactly.
    PairLog filled;
    for (std::size_t capacity : {4096u, 8192u, 16384u, 32768u}) {
        filled.Append(std::string(capacity, 'a'));
        filled.Append("");
    }
    ASSERT_EQ(filled.Size(), 8u);
    EXPECT_EQ(filled.Text(6).size(), 32768u);
    EXPECT_EQ(filled.Text(7), "");
}

TEST(PairLogTest, CopiesAreIndependentAndMovesLeaveAUsableLog) {
    PairLog original;
    for (int i = 0; i < 3000; ++i) {
        original.Append(IntervalLine(i));
    }
    PairLog copy = original;
    copy.Append("only in the copy");
    copy.MarkLastCounted();
    EXPECT_EQ(original.Size(), 3000u);
    EXPECT_EQ(copy.Size(), 3001u);
    EXPECT_EQ(copy.Text(2999), original.Text(2999));

    PairLog moved = std::move(copy);
    EXPECT_EQ(moved.Size(), 3001u);
    EXPECT_TRUE(moved.Counted(3000));
    // A moved-from log behaves as an empty one and can be filled again.
    EXPECT_EQ(copy.Size(), 0u);  // NOLINT(bugprone-use-after-move)
    copy.Append("again");
    EXPECT_EQ(copy.Text(0), "again");

    copy = original;
    EXPECT_EQ(copy.Size(), 3000u);
    EXPECT_EQ(copy.Text(0), original.Text(0));
}

TEST(PairLogTest, SmallLogsStaySmallAndClearGivesTheMemoryBack) {
    PairLog log;
    log.Append(IntervalLine(0));
    EXPECT_LT(log.BytesReserved(), 32u * 1024u);
    for (int i = 0; i < 20000; ++i) {
        log.Append(IntervalLine(i));
    }
    const std::size_t full = log.BytesReserved();
    log.Clear();
    EXPECT_TRUE(log.Empty());
    EXPECT_LT(log.BytesReserved(), full / 100);
}

// A three-day run of one pair: the storage must stay close to the text it holds.
TEST(PairLogTest, LongRunCostsLittleMoreThanItsText) {
    PairLog log;
    std::size_t textBytes = 0;
    for (int second = 0; second < 259200; ++second) {
        const std::string line = IntervalLine(second);
        textBytes += line.size();
        log.Append(line);
    }
    EXPECT_EQ(log.Size(), 259200u);
    EXPECT_EQ(log.Text(259199), IntervalLine(259199));
    EXPECT_LE(static_cast<double>(log.BytesReserved()), 1.25 * static_cast<double>(textBytes));
}

}  // namespace
}  // namespace quarn::console
