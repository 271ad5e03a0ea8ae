#include <gtest/gtest.h>

#include "console/files/config_file.h"
#include "console/files/config_layout.h"
#include "console/files/config_parser.h"
#include "console/files/utf16le.h"
#include "tests/unit/console_files/config_test_support.h"
#include "tests/unit/console_files/legacy_config_parser.h"

namespace quarn::console {
namespace {

std::string SavedWithTraffic(ConsoleData& data) {
    test::TempDir dir;
    EXPECT_TRUE(WriteConfigFile(dir.File("t.config"), data).Ok());
    return test::ReadBytes(dir.File("t.config"));
}

std::u16string TrafficFileText(const std::string& bytes) {
    return Utf16FromLeBytes(std::string_view(bytes).substr(kConfigHeaderSize));
}

TEST(ConfigTrafficTest, OptionsFollowThePassLinesAndTheOlderReaderIgnoresThem) {
    ConsoleData data = test::MeasuredState();
    data.table[1].config.traffic = {46, 200, std::nullopt};
    data.table[2].config.traffic.mss = 1000;
    data.table[2].config.passLines.maxRttRiseMs = 5.0;
    const std::string bytes = SavedWithTraffic(data);
    const std::string text = Utf16ToUtf8(TrafficFileText(bytes));
    EXPECT_NE(text.find(" - - - - - - dscp=46 length=200\r"), std::string::npos) << text;
    EXPECT_NE(text.find(" - - - - - - rise=5.00 mss=1000\r"), std::string::npos) << text;

    ConsoleData plain = test::MeasuredState();
    ConsoleData olderRead, olderReadOfPlain;
    legacy::ApplyConfigText(TrafficFileText(bytes), olderRead);
    legacy::ApplyConfigText(TrafficFileText(SavedWithTraffic(plain)), olderReadOfPlain);
    EXPECT_EQ(test::DescribeSavedState(olderRead), test::DescribeSavedState(olderReadOfPlain));

    ConsoleData newRead;
    ASSERT_TRUE(ApplyConfigText(TrafficFileText(bytes), newRead));
    EXPECT_EQ(newRead.table[1].config.traffic, data.table[1].config.traffic);
    EXPECT_EQ(newRead.table[2].config.traffic, data.table[2].config.traffic);
    EXPECT_EQ(newRead.table[2].config.passLines.maxRttRiseMs, 5.0);
    EXPECT_EQ(SavedWithTraffic(newRead), bytes);
}

// Every pass line and every option fit within what a reader takes from a row.
TEST(ConfigTrafficTest, AFullRowKeepsEverythingAndBadValuesAreDropped) {
    ConsoleData data = test::MeasuredState();
    PassLines& lines = data.table[1].config.passLines;
    lines.minThroughput = ThroughputLine{100.0, false};
    lines.maxLossPercent = 1.0;
    lines.maxJitterMs = 2.0;
    lines.maxRttRiseMs = 3.0;
    lines.maxBaselineDropPercent = 4.0;
    data.table[1].config.traffic = {63, 65507, 9000};
    ConsoleData read;
    ASSERT_TRUE(ApplyConfigText(TrafficFileText(SavedWithTraffic(data)), read));
    EXPECT_EQ(read.table[1].config.passLines, lines);
    EXPECT_EQ(read.table[1].config.traffic, data.table[1].config.traffic);

    ConsoleData odd;
    ApplyConfigText(Utf8ToUtf16("[]\n[]\nAll 1 10 0 1 1.00 1.00 1.00 1.00 1 0 10 250\r\n"
                                "Pair1 a b 4 1 1 1.00 1.00 1.00 1 1.00 - - - - - - "
                                "dscp=64 length=0 mss=1200 dscp\r\n"),
                    odd);
    EXPECT_EQ(odd.table[1].config.traffic, (TrafficOptions{std::nullopt, std::nullopt, 1200}));
}

}  // namespace
}  // namespace quarn::console
