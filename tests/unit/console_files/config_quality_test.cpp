#include <gtest/gtest.h>

#include <limits>

#include "console/files/config_file.h"
#include "console/files/config_layout.h"
#include "console/files/config_parser.h"
#include "console/files/config_quality.h"
#include "console/files/utf16le.h"
#include "tests/unit/console_files/config_test_support.h"
#include "tests/unit/console_files/legacy_config_parser.h"

namespace quarn::console {
namespace {

using test::ConfigFileBytes;
using test::DescribeSavedState;
using test::ReadBytes;
using test::TempDir;

// The measured state with quality figures: a UDP pair with everything, one whose End
// Point 2 never answered a probe, and the inactive one without any figure.
ConsoleData StateWithQuality() {
    ConsoleData data = test::MeasuredState();
    PairQuality& first = data.table[1].figures.quality;
    first.lossPercent = 0.0375;
    first.jitterAverageMs = 0.0126;
    first.jitterMaxMs = 1.5;
    first.rttIdleMs = 0.25;
    first.rttLoadedMedianMs = 21.75;
    first.rttLoadedP95Ms = 40.125;
    PairQuality& second = data.table[2].figures.quality;
    second.lossPercent = 66.6667;
    second.jitterAverageMs = 3.0;
    second.jitterMaxMs = 9.0;
    data.table.All().figures.quality.lossPercent = 33.3521;
    return data;
}

std::string Saved(ConsoleData& data) {
    TempDir dir;
    EXPECT_TRUE(WriteConfigFile(dir.File("q.config"), data).Ok());
    return ReadBytes(dir.File("q.config"));
}

std::u16string TextOf(const std::string& bytes) {
    return Utf16FromLeBytes(std::string_view(bytes).substr(kConfigHeaderSize));
}

TEST(ConfigQualityTest, TokensFollowTheFieldsAndTheOlderReaderIgnoresThem) {
    ConsoleData withQuality = StateWithQuality();
    const std::string bytes = Saved(withQuality);
    const std::string text = Utf16ToUtf8(TextOf(bytes));
    EXPECT_NE(text.find(" 0 50.00 0.0375 0.013 1.500 0.250 21.750 40.125\r"), std::string::npos)
        << text;
    EXPECT_NE(text.find(" 1 50.00 66.6667 3.000 9.000 - - -\r"), std::string::npos) << text;
    EXPECT_NE(text.find(" 5 250.5 33.3521\r"), std::string::npos) << text;

    ConsoleData withoutQuality = test::MeasuredState();
    const std::string plainBytes = Saved(withoutQuality);

    ConsoleData olderRead;
    legacy::ApplyConfigText(TextOf(bytes), olderRead);
    ConsoleData olderReadOfPlain;
    legacy::ApplyConfigText(TextOf(plainBytes), olderReadOfPlain);
    EXPECT_EQ(DescribeSavedState(olderRead), DescribeSavedState(olderReadOfPlain));
    EXPECT_EQ(olderRead.table.Size(), 4);
    EXPECT_EQ(olderRead.table[1].figures.averageText, "12.34");

    ConsoleData newRead;
    ApplyConfigText(TextOf(bytes), newRead);
    EXPECT_EQ(DescribeSavedState(newRead), DescribeSavedState(olderRead));
    const PairQuality& first = newRead.table[1].figures.quality;
    EXPECT_DOUBLE_EQ(first.lossPercent.value_or(-1), 0.0375);
    EXPECT_DOUBLE_EQ(first.jitterAverageMs.value_or(-1), 0.013);
    EXPECT_DOUBLE_EQ(first.jitterMaxMs.value_or(-1), 1.5);
    EXPECT_DOUBLE_EQ(first.rttIdleMs.value_or(-1), 0.25);
    EXPECT_DOUBLE_EQ(first.rttLoadedMedianMs.value_or(-1), 21.75);
    EXPECT_DOUBLE_EQ(first.rttLoadedP95Ms.value_or(-1), 40.125);
    EXPECT_DOUBLE_EQ(first.RttIncreaseMs().value_or(-1), 21.5);
    const PairQuality& second = newRead.table[2].figures.quality;
    EXPECT_DOUBLE_EQ(second.lossPercent.value_or(-1), 66.6667);
    EXPECT_FALSE(second.rttIdleMs);  // "-", not 0
    EXPECT_FALSE(second.rttLoadedMedianMs);
    EXPECT_FALSE(newRead.table[3].figures.quality.lossPercent);
    EXPECT_DOUBLE_EQ(newRead.table.All().figures.quality.lossPercent.value_or(-1), 33.3521);
}

TEST(ConfigQualityTest, FilesWithoutFiguresStayAsTheyWere) {
    ConsoleData data = test::MeasuredState();
    const std::string bytes = Saved(data);
    const std::string text = Utf16ToUtf8(TextOf(bytes));
    EXPECT_NE(text.find("99.99 0 50.00\r"), std::string::npos);
    EXPECT_NE(text.find("99.99 1 50.00\r"), std::string::npos);
    EXPECT_NE(text.find(" 5 250.5\r"), std::string::npos);

    ConsoleData read;
    ApplyConfigText(TextOf(bytes), read);
    for (int row = 0; row < read.table.Size(); ++row) {
        const PairQuality& quality = read.table[row].figures.quality;
        EXPECT_FALSE(quality.lossPercent || quality.jitterAverageMs || quality.rttIdleMs) << row;
    }
}

TEST(ConfigQualityTest, BadTokensAreMissingFigures) {
    const std::u16string text = Utf8ToUtf16(
        "[]\n[]\nAll 1 10 0 1 1.00 1.00 1.00 1.00 1 0 10 250\n"
        "Pair1 a b 4 1 1 1.00 1.00 1.00 1 1.00 101 -2 nan 1e999 0x10 7.5 9 9 9\r1.00\n"
        "Pair2 a b 4 1 1 1.00 1.00 1.00 1 1.00 100 inf\r1.00\n");
    ConsoleData data;
    ApplyConfigText(text, data);
    const PairQuality& first = data.table[1].figures.quality;
    EXPECT_FALSE(first.lossPercent);  // above 100 %
    EXPECT_FALSE(first.jitterAverageMs);
    EXPECT_FALSE(first.jitterMaxMs);
    EXPECT_FALSE(first.rttIdleMs);
    EXPECT_FALSE(first.rttLoadedMedianMs);
    EXPECT_DOUBLE_EQ(first.rttLoadedP95Ms.value_or(-1), 7.5);
    EXPECT_DOUBLE_EQ(data.table[2].figures.quality.lossPercent.value_or(-1), 100.0);
    EXPECT_FALSE(data.table[2].figures.quality.jitterAverageMs);
    EXPECT_FALSE(data.table.All().figures.quality.lossPercent);
    // Tokens beyond the known ones change nothing and the samples are still read.
    EXPECT_EQ(data.chart.Series().size(), 3u);
}

TEST(ConfigQualityTest, NonFiniteFiguresAreWrittenAsMissing) {
    PairQuality quality;
    quality.lossPercent = std::numeric_limits<double>::quiet_NaN();
    quality.rttIdleMs = std::numeric_limits<double>::infinity();
    EXPECT_EQ(PairQualityTokens(quality), " - - - - - -");
    EXPECT_EQ(AllQualityTokens(PairQuality{}), "");
}

}  // namespace
}  // namespace quarn::console
