#include <gtest/gtest.h>

#include "console/files/config_file.h"
#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using test::ConfigFileBytes;
using test::DescribeSavedState;
using test::ReadBytes;
using test::Samples;
using test::SetFigures;
using test::TempDir;

constexpr std::string_view kExampleText =
    "[2024-05-02 14:03:11]\n"
    "[192.168.0.10\"(PC-A\r192.168.0.11\"(PC-B\r]\n"
    "All 3 3 1 3 940.23 939.20 941.50 939.20 0 5 100\r940.00 941.50 939.20\n"
    "Pair1 192.168.0.10 192.168.0.11 4 3 1 940.23 939.20 941.50 1 939.20\r"
    "940.00 941.50 939.20\n"
    "\r\r\r\r\r[192.168.0.10\"PC-A\r192.168.0.11\"PC-B\r]\r\r\r\r\r";

// The state behind the example file: one finished three-second run of one pair.
void FillExampleState(ConsoleData& data) {
    data.measuredAt = "2024-05-02 14:03:11";
    data.endPoints = {{"192.168.0.10", "5001", "45000", "PC-A", "PC-A", "(PC-A"},
                      {"192.168.0.11", "5001", "45000", "PC-B", "PC-B", "(PC-B"}};
    data.nameLookup = {{"192.168.0.10", "PC-A"}, {"192.168.0.11", "PC-B"}};
    data.settings.durationText = "3";
    data.ticks = 3;
    PairRecord& all = data.table.All();
    SetFigures(all, 3, 940.23f, 939.2f, 941.5f, 939.2f);
    all.config.showTotal = true;
    PairRecord pair;
    pair.config.endpoint1 = "192.168.0.10";
    pair.config.endpoint2 = "192.168.0.11";
    pair.figures.state = PairState::Done;
    pair.figures.statusText = "Done";
    SetFigures(pair, 3, 940.23f, 939.2f, 941.5f, 939.2f);
    data.table.AppendPair(pair);
    data.chart.AppendSeries(Samples({940.0f, 941.5f, 939.2f}));
    data.chart.AppendSeries(Samples({940.0f, 941.5f, 939.2f}));
}

TEST(ConfigExampleTest, ExampleFileIsWrittenByteForByteAndReadBack) {
    TempDir dir;
    ConsoleData written;
    FillExampleState(written);
    ASSERT_TRUE(WriteConfigFile(dir.File("example.config"), written).Ok());
    EXPECT_EQ(ReadBytes(dir.File("example.config")), ConfigFileBytes(kExampleText));

    ConsoleData read;
    read.settings.windowSizeText = "2";  // whatever was typed before is overwritten
    read.AddPair(PairConfig{});          // and New clears what the table held
    int newCalls = 0;
    const ConfigResult result = ReadConfigFile(dir.File("example.config"), read, [&] {
        ++newCalls;
        read.ResetToNew();
    });
    ASSERT_EQ(result, ConfigResult::Done);
    EXPECT_EQ(newCalls, 1);
    EXPECT_EQ(DescribeSavedState(read), DescribeSavedState(written));
    EXPECT_FLOAT_EQ(read.table.All().figures.peakSingle, 941.5f);

    ApplyOpenedRunState(read);
    EXPECT_EQ(read.chart.PairCount(), 1);
    EXPECT_EQ(read.chart.RunLength(), 3);
    EXPECT_EQ(read.chart.TickStep(), 1);
}

TEST(ConfigExampleTest, MeasuredStateRoundTripsWithTwoDecimalSamples) {
    TempDir dir;
    ConsoleData data = test::MeasuredState();
    ASSERT_TRUE(WriteConfigFile(dir.File("run.config"), data).Ok());
    const std::string bytes = ReadBytes(dir.File("run.config"));
    EXPECT_NE(bytes.find(test::LeAscii("\r0.13 1234.57 -1.00\n")), std::string::npos);
    EXPECT_NE(bytes.find(test::LeAscii("\r7.00 8.00 9.00 10.00\nPair3 ")), std::string::npos);

    ConsoleData read;
    ASSERT_EQ(ReadConfigFile(dir.File("run.config"), read, [&] { read.ResetToNew(); }),
              ConfigResult::Done);
    // Samples come back as written, and every row line gets a series.
    data.chart.MutableSeries()[0] = Samples({0.13f, 1234.57f, -1.0f});
    data.chart.AppendSeries(Samples({}));
    EXPECT_EQ(DescribeSavedState(read), DescribeSavedState(data));
}

TEST(ConfigExampleTest, OpenedRunStateFollowsTheTickCount) {
    struct Case {
        int ticks, runLength, tickStep;
    };
    for (const Case c : {Case{0, 60, 5}, Case{60, 60, 5}, Case{61, 61, 5}, Case{120, 120, 10},
                         Case{259200, 259200, 21600}, Case{30, 30, 2}, Case{13, 13, 1},
                         Case{12, 12, 1}, Case{1, 1, 1}, Case{-4, 60, 5}}) {
        ConsoleData data;
        data.ticks = c.ticks;
        data.chart.SetRunState(7, -1, 3);
        ApplyOpenedRunState(data);
        EXPECT_EQ(data.chart.RunLength(), c.runLength) << c.ticks;
        EXPECT_EQ(data.chart.TickStep(), c.tickStep) << c.ticks;
        EXPECT_EQ(data.chart.FirstVisibleSample(), 0) << c.ticks;
    }
}

}  // namespace
}  // namespace quarn::console
