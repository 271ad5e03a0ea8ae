#include "console/core/pair_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarn::console {
namespace {

std::string IntervalLine(int second) {
    return "[  1] " + std::to_string(second) + ".0000-" + std::to_string(second + 1) +
           ".0000 sec  2932 MBytes  24594 Mbits/sec";
}

// What the log keeps of a line: all of it, or its start and the cut mark.
std::string Kept(const std::string& line) {
    if (line.size() <= PairLog::kMaxLineBytes) {
        return line;
    }
    return line.substr(0, PairLog::kMaxLineBytes) + std::string(PairLog::kCutMark);
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
        EXPECT_EQ(log.Append(lines[i], i % 3 == 0), i);
    }
    ASSERT_EQ(log.Size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(log.Text(i), Kept(lines[i])) << i;
        ASSERT_EQ(log.Counted(i), i % 3 == 0) << i;
    }
    // Backwards and jumping between blocks reads the same.
    for (std::size_t i = lines.size(); i-- > 0;) {
        ASSERT_EQ(log.Text(i), Kept(lines[i])) << i;
        ASSERT_EQ(log.Text(lines.size() - 1 - i), Kept(lines[lines.size() - 1 - i])) << i;
    }
    EXPECT_EQ(log.Text(lines.size()), "");
    EXPECT_FALSE(log.Counted(lines.size()));
    log.Append("last");
    log.MarkLastCounted();
    EXPECT_TRUE(log.At(lines.size()).counted);
    EXPECT_FALSE(log.Counted(lines.size() - 1));
}

// An empty line after a line that fills its block to the last byte must not point
// past the storage that block owns.
TEST(PairLogTest, EmptyLineAfterAnExactlyFullBlockReadsBack) {
    const std::string forced(65536, 'f');  // what the line splitter hands over at most
    PairLog log;
    log.Append(forced);
    log.Append("");
    ASSERT_EQ(log.Size(), 2u);
    EXPECT_EQ(log.Text(1), "");
    EXPECT_EQ(log.Text(0), Kept(forced));
    log.Append("after");
    EXPECT_EQ(log.Text(1), "");
    EXPECT_EQ(log.Text(2), "after");

    // 32 lines of 2 KiB fill a 64 KiB block exactly.
    PairLog filled;
    for (int i = 0; i < 32; ++i) {
        filled.Append(std::string(PairLog::kMaxLineBytes, static_cast<char>('a' + i % 26)));
    }
    filled.Append("");
    EXPECT_EQ(filled.Text(32), "");
    filled.Append("next block");
    filled.Append("");
    ASSERT_EQ(filled.Size(), 35u);
    EXPECT_EQ(filled.Text(31), std::string(PairLog::kMaxLineBytes, 'f'));
    EXPECT_EQ(filled.Text(32), "");
    EXPECT_EQ(filled.Text(33), "next block");
    EXPECT_EQ(filled.Text(34), "");
    EXPECT_EQ(filled.Text(0), std::string(PairLog::kMaxLineBytes, 'a'));
}

// A peer's line without end, or a flood of lines, must not take the Console's memory:
// a long line is cut (never inside a UTF-8 character) and marked, and past the limit
// one line says that the rest is dropped.
TEST(PairLogTest, LongLinesAreCutAndAFloodStopsAtTheLimit) {
    PairLog log;
    std::string korean = std::string(PairLog::kMaxLineBytes - 1, 'k') + "\xEA\xB0\x80 tail";
    log.Append(korean);
    EXPECT_EQ(log.Text(0), std::string(PairLog::kMaxLineBytes - 1, 'k') + " [line cut]");
    const std::string exact(PairLog::kMaxLineBytes, 'e');
    log.Append(exact);
    EXPECT_EQ(log.Text(1), exact);

    // 300 MB sent without a newline reach the log as 64 KiB pieces.
    PairLog endless;
    const std::string piece(64 * 1024, 'z');
    for (int i = 0; i < 4578; ++i) {
        endless.Append(piece);
    }
    EXPECT_EQ(endless.Size(), 4578u);
    EXPECT_FALSE(endless.Full());
    EXPECT_LT(endless.BytesReserved(), std::size_t{2} << 20);

    // Text that packs badly: pseudo-random lines until the limit.
    PairLog flood;
    std::uint64_t state = 88172645463325252ull;
    std::string line(200, ' ');
    std::size_t kept = 0;
    std::size_t appended = 0;
    while (!flood.Full() && appended < 2'000'000) {
        for (char& c : line) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            c = static_cast<char>(' ' + state % 95);
        }
        kept += flood.Append(line) != PairLog::kNoLine ? 1 : 0;
        ++appended;
    }
    ASSERT_TRUE(flood.Full());
    EXPECT_EQ(flood.Size(), kept + 1);
    EXPECT_EQ(flood.Text(kept), PairLog::kDroppedLine);
    EXPECT_LE(flood.BytesReserved(), PairLog::kMaxHeldBytes + (std::size_t{1} << 20));
    EXPECT_GT(flood.BytesReserved(), PairLog::kMaxHeldBytes / 2);
    // Later lines are dropped without a second marker; earlier ones stay readable.
    EXPECT_EQ(flood.Append("more"), PairLog::kNoLine);
    EXPECT_EQ(flood.Size(), kept + 1);
    EXPECT_EQ(flood.Text(0).size(), 200u);
    flood.Clear();
    EXPECT_FALSE(flood.Full());
    EXPECT_EQ(flood.Append("a new run"), 0u);
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

// A three-day run of one pair: the storage must be well below the text it holds.
TEST(PairLogTest, LongRunCostsFarLessThanItsText) {
    PairLog log;
    std::size_t textBytes = 0;
    for (int second = 0; second < 259200; ++second) {
        const std::string line = IntervalLine(second);
        textBytes += line.size();
        log.Append(line);
    }
    EXPECT_EQ(log.Size(), 259200u);
    EXPECT_EQ(log.Text(259199), IntervalLine(259199));
    EXPECT_EQ(log.Text(0), IntervalLine(0));
    EXPECT_EQ(log.Text(123456), IntervalLine(123456));
    // Packed blocks: a fraction of the text.
    EXPECT_LE(static_cast<double>(log.BytesReserved()), 0.25 * static_cast<double>(textBytes));
}

}  // namespace
}  // namespace quarn::console
