#include <sys/stat.h>

#include <gtest/gtest.h>

#include "console/files/config_file.h"
#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using test::ConfigFileBytes;
using test::LeAscii;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

class ConfigEdgeCaseTest : public ::testing::Test {
  protected:
    ConfigResult ReadFileBytes(std::string_view bytes) {
        WriteBytes(dir_.File("in.config"), bytes);
        return ReadConfigFile(dir_.File("in.config"), data_, [this] { data_.ResetToNew(); });
    }
    ConfigResult ReadText(std::string_view asciiText) {
        return ReadFileBytes(ConfigFileBytes(asciiText));
    }
    std::string WriteAndLoad() {
        EXPECT_TRUE(WriteConfigFile(dir_.File("out.config"), data_).Ok());
        return ReadBytes(dir_.File("out.config"));
    }

    TempDir dir_;
    ConsoleData data_;
};

TEST_F(ConfigEdgeCaseTest, UnmeasuredManualPairAfterNewWritesEmptyListsAndNoNameBlock) {
    data_.ResetToNew();
    PairConfig pair;
    pair.endpoint1 = "198.18.0.1";
    pair.endpoint2 = "198.18.0.2";
    data_.AddPair(pair);
    EXPECT_EQ(WriteAndLoad(),
              ConfigFileBytes("[]\n[]\n"
                              "All 0 60 0 0 0.00 0.00 0.00 0.00 0 5 100\r\n"
                              "Pair1 198.18.0.1 198.18.0.2 0 0 1 0.00 0.00 0.00 1 0.00\r\n"));
}

TEST_F(ConfigEdgeCaseTest, WrongIdentifierLeavesTheNewStateAndUnreadablePathsNothing) {
    const std::string valid = ConfigFileBytes("[]\n[]\nAll 1\r\nPair1 a b\r\n");
    std::string oneByteOff = valid, otherMark = valid;
    oneByteOff[20] ^= 0x01;
    otherMark[0] = 'X';  // the byte-order mark is not looked at
    for (const std::string& bytes : {oneByteOff, valid.substr(0, 39), std::string()}) {
        data_.AddPair(PairConfig{});
        data_.endPoints.push_back({});
        EXPECT_EQ(ReadFileBytes(bytes), ConfigResult::NotConfigFile);
        EXPECT_EQ(data_.table.PairCount(), 0);
        EXPECT_TRUE(data_.endPoints.empty());
    }
    EXPECT_EQ(ReadFileBytes(otherMark), ConfigResult::Done);

    ASSERT_EQ(::mkfifo(dir_.File("fifo").c_str(), 0600), 0);
    ::mkdir(dir_.File("folder.config").c_str(), 0700);
    for (const char* name : {"missing.config", "folder.config", "fifo"}) {
        int newCalls = 0;
        EXPECT_EQ(ReadConfigFile(dir_.File(name), data_, [&] { ++newCalls; }),
                  ConfigResult::CannotAccess)
            << name;
        EXPECT_EQ(newCalls, 0) << name;
        EXPECT_EQ(data_.table.PairCount(), 1) << name;
    }
}

TEST_F(ConfigEdgeCaseTest, StateTokenGivesStatusTextAndActiveFlag) {
    ASSERT_EQ(ReadText("[]\n[]\nAll\r\n"
                       "P a b 0\r\nP a b 1\r\nP a b 2\r\nP a b 3\r\nP a b 4\r\nP a b 5\r\n"
                       "P a b 9\r\nP a b x\r\n"),
              ConfigResult::Done);
    struct Expected {
        int state;
        const char* text;
        int active;
    };
    const Expected expected[] = {{0, "Ready", 1},   {1, "Done", 1}, {2, "Error", 1},
                                 {3, "Stopped", 1}, {4, "Done", 1}, {5, "Inactive", 0},
                                 {9, "Done", 1},    {0, "Ready", 1}};
    ASSERT_EQ(data_.table.PairCount(), 8);
    for (int row = 1; row <= 8; ++row) {
        const Expected& e = expected[row - 1];
        EXPECT_EQ(static_cast<int>(data_.table[row].figures.state), e.state) << row;
        EXPECT_EQ(data_.table[row].figures.statusText, e.text) << row;
        EXPECT_EQ(data_.table[row].config.active, e.active) << row;
    }
}

TEST_F(ConfigEdgeCaseTest, ReadsAtMostSixteenPairsNamedByPosition) {
    std::string text = "[]\n[]\nAll\r1 2\n";
    for (int i = 1; i <= 20; ++i) {
        const int max = i <= 16 ? i : 900;  // maxima of ignored lines must not count
        text += "Link" + std::to_string(i * 7) + " a b 4 1 1 0 0 " + std::to_string(max) + "\r5\n";
    }
    ASSERT_EQ(ReadText(text), ConfigResult::Done);
    ASSERT_EQ(data_.table.PairCount(), 16);
    for (int row = 1; row <= 16; ++row) {
        EXPECT_EQ(data_.table[row].name, "Pair" + std::to_string(row));
    }
    EXPECT_EQ(data_.chart.Series().size(), 17u);
    EXPECT_FLOAT_EQ(data_.table.All().figures.peakSingle, 16.0f);

    ASSERT_EQ(ReadText("[]\n[]\nAll 1 1 1 1 2 3 99 4\r\n"), ConfigResult::Done);
    EXPECT_FLOAT_EQ(data_.table.All().figures.peakSingle, 0.0f);
}

TEST_F(ConfigEdgeCaseTest, RateTextsLoseSpacesAndEmptyIsWrittenAsZero) {
    data_.AddPair(PairConfig{});
    data_.settings.windowSizeText = "";
    data_.settings.throughputText = "1 024";
    const std::string bytes = WriteAndLoad();
    EXPECT_NE(bytes.find(LeAscii(" 0 0 1024\r")), std::string::npos);
    EXPECT_EQ(data_.settings.throughputText, "1024");

    data_.settings.windowSizeText = "3";
    ASSERT_EQ(ReadFileBytes(bytes), ConfigResult::Done);
    EXPECT_EQ(data_.settings.windowSizeText, "");
    EXPECT_EQ(data_.settings.throughputText, "1024");
}

TEST_F(ConfigEdgeCaseTest, EndPointLineHoldsAtMostTheListsBound) {
    std::string line = "[]\n[";
    for (int host = 0; host < 1100; ++host) {
        line += "10.0." + std::to_string(host / 256) + "." + std::to_string(host % 256) + "\"(n\r";
    }
    ASSERT_EQ(ReadText(line + "]\nAll\r\n"), ConfigResult::Done);
    ASSERT_EQ(data_.endPoints.size(), kMaxEndPoints);
    EXPECT_EQ(data_.endPoints.back().address, "10.0.3.255");
}

TEST_F(ConfigEdgeCaseTest, EndPointLineAndNameBlockEntries) {
    ASSERT_EQ(ReadText("[]\n[198.18.0.1\"\r198.18.0.2\"(B\rno-quote\r198.18.0.3\"(C\r]\nAll\r\n"
                       "\r\r\r\r\r[198.18.0.3\"Old\r198.18.0.4\"\r198.18.0.5\"E\r\"F\r]\r\r\r\r\r"),
              ConfigResult::Done);
    ASSERT_EQ(data_.endPoints.size(), 3u);
    EXPECT_EQ(data_.endPoints[0].address, "198.18.0.1");
    EXPECT_EQ(data_.endPoints[0].label, "");
    EXPECT_EQ(data_.endPoints[2].label, "(C");
    // The lists draw the name, so an opened file shows the same as a search.
    EXPECT_EQ(data_.endPoints[0].name, "");
    EXPECT_EQ(data_.endPoints[1].name, "B");
    EXPECT_EQ(data_.endPoints[2].name, "C");
    const std::map<std::string, std::string> expected = {
        {"198.18.0.1", ""}, {"198.18.0.2", "B"}, {"198.18.0.3", "C"}, {"198.18.0.5", "E"}};
    EXPECT_EQ(data_.nameLookup, expected);
    EXPECT_EQ(data_.table.PairCount(), 0);  // the name block is no pair line

    // The end marker is missing: the file was cut short. Nothing is read from the block,
    // and it is no pair line.
    ASSERT_EQ(ReadText("[]\n[]\nAll\r\nPair1 a b\r\n\r\r\r\r\r[198.18.0.1\"A\r"),
              ConfigResult::Incomplete);
    EXPECT_EQ(data_.table.PairCount(), 1);
    EXPECT_TRUE(data_.nameLookup.empty());
    // The end marker comes first: no entries either.
    ASSERT_EQ(ReadText("[]\n[]\nAll\r\n]\r\r\r\r\r\nPair1 a b\r\n\r\r\r\r\r[198.18.0.1\"A\r"),
              ConfigResult::Incomplete);
    EXPECT_TRUE(data_.nameLookup.empty());
}

TEST_F(ConfigEdgeCaseTest, LenientTokens) {
    ASSERT_EQ(ReadText("[x]\n[]\nAll   7  45x 01 12 1.5 abc 9e1 2 7 0 0\r\n"
                       "Pair9 a b  4 3x 2 1 2 3 01 4 extra tokens\r1  2   x\n"
                       "Pair9\r\n"),
              ConfigResult::Done);
    const PairRecord& all = data_.table.All();
    EXPECT_EQ(data_.measuredAt, "x");
    EXPECT_EQ(all.figures.count, 7);
    EXPECT_EQ(data_.settings.durationText, "45x");
    EXPECT_FALSE(all.config.showTotal);  // only the exact text "1" shows the total
    EXPECT_EQ(data_.ticks, 12);
    EXPECT_FLOAT_EQ(all.figures.average, 1.5f);
    EXPECT_EQ(all.figures.minText, "abc");
    EXPECT_FLOAT_EQ(all.figures.min, 0.0f);
    EXPECT_FLOAT_EQ(all.figures.max, 90.0f);
    EXPECT_EQ(data_.settings.protocol, Protocol::Tcp);  // 7 is no protocol
    EXPECT_EQ(data_.settings.windowSizeText, "");
    EXPECT_EQ(data_.settings.throughputText, "");

    ASSERT_EQ(data_.table.PairCount(), 2);
    const PairRecord& pair = data_.table[1];
    EXPECT_EQ(pair.figures.count, 3);
    EXPECT_EQ(pair.figures.countText, "3x");
    EXPECT_EQ(pair.config.parallel, 2);
    EXPECT_TRUE(pair.config.showAddress);  // the integer value of "01" is 1
    EXPECT_FLOAT_EQ(pair.figures.current, 4.0f);
    ASSERT_EQ(data_.chart.Series()[1].size(), 3u);
    EXPECT_FLOAT_EQ(data_.chart.Series()[1][2].value, 0.0f);
    const PairRecord& bare = data_.table[2];  // a pair line without tokens keeps defaults
    EXPECT_EQ(bare.config.endpoint1, "");
    EXPECT_EQ(bare.config.parallel, 1);
    EXPECT_FLOAT_EQ(bare.figures.min, -1.0f);
    EXPECT_EQ(bare.figures.statusText, "Ready");
}

TEST_F(ConfigEdgeCaseTest, TextsRoundTripWithoutBreakingTheRecords) {
    PairConfig blank;
    blank.endpoint1 = "   ";  // typed as blanks: still one token, so later fields stay put
    blank.parallel = 3;
    data_.AddPair(blank);
    data_.AddPair(PairConfig{});
    data_.measuredAt = "2024\r\n";
    data_.endPoints = {{"198.18.0.1", "", "", "", "", "(evil\nname\r\r\r\r\r["},
                       {"198.18.0.2", "", "", "", "", "(A[1]"}};
    // Keys beyond U+FFFF sort before U+FF00 in UTF-16, though not in UTF-8.
    data_.nameLookup = {{"\uFF00", "x"}, {"\U0001F600", "y\n"}, {"198.18.0.3", "[C]"}};
    const std::string bytes = WriteAndLoad();
    const std::string emoji("\x3D\xD8\x00\xDE", 4);
    const std::string fullwidth("\x00\xFF", 2);
    const std::size_t emojiEntry = bytes.find(emoji + LeAscii("\"y\r"));
    const std::size_t fullwidthEntry = bytes.find(fullwidth + LeAscii("\"x\r"));
    ASSERT_NE(fullwidthEntry, std::string::npos);
    EXPECT_LT(emojiEntry, fullwidthEntry);

    ASSERT_EQ(ReadFileBytes(bytes), ConfigResult::Done);
    EXPECT_EQ(data_.table.PairCount(), 2);
    EXPECT_EQ(data_.table[1].config.endpoint1, "-");
    EXPECT_EQ(data_.table[1].config.parallel, 3);
    EXPECT_EQ(data_.measuredAt, "2024");
    ASSERT_EQ(data_.endPoints.size(), 2u);
    EXPECT_EQ(data_.endPoints[0].label, "(evilname");
    EXPECT_EQ(data_.nameLookup["\U0001F600"], "y");
    // Brackets are lost in the EndPoint line but kept in the name block.
    EXPECT_EQ(data_.endPoints[1].label, "(A1");
    EXPECT_EQ(data_.nameLookup["198.18.0.2"], "A1");
    EXPECT_EQ(data_.nameLookup["198.18.0.3"], "[C]");
}

// Entries the reader would skip or merge are not written, so a second save writes the
// file the first one wrote.
TEST_F(ConfigEdgeCaseTest, SaveOpenSaveGivesTheSameFileForOddNameEntries) {
    data_.nameLookup = {{"\n", "only a newline as address"},
                        {"198.18.0.4", "\r\n"},
                        {"198.18.0.5", "five"},
                        {"198.18.0.5\r", "five again"},
                        {"198.18.0.6", "six"}};
    const std::string first = WriteAndLoad();
    ASSERT_EQ(ReadFileBytes(first), ConfigResult::Done);
    EXPECT_EQ(data_.nameLookup, (std::map<std::string, std::string>{{"198.18.0.5", "five again"},
                                                                    {"198.18.0.6", "six"}}));
    EXPECT_EQ(WriteAndLoad(), first);

    // Nothing left to write: no block at all, as for an empty lookup.
    data_.nameLookup = {{"\r\n", "x"}};
    const std::string none = WriteAndLoad();
    EXPECT_EQ(none.find(LeAscii("\r\r\r\r\r[")), std::string::npos);
    ASSERT_EQ(ReadFileBytes(none), ConfigResult::Done);
    EXPECT_TRUE(data_.nameLookup.empty());
    EXPECT_EQ(WriteAndLoad(), none);
}

}  // namespace
}  // namespace quarn::console
