#include <gtest/gtest.h>

#include "console/files/config_file.h"
#include "console/files/config_layout.h"
#include "console/files/config_parser.h"
#include "console/files/opened_run_state.h"
#include "console/files/utf16le.h"
#include "tests/unit/console_files/config_test_support.h"
#include "tests/unit/console_files/legacy_config_parser.h"

namespace quarn::console {
namespace {

std::string SavedWithLines(ConsoleData& data) {
    test::TempDir dir;
    EXPECT_TRUE(WriteConfigFile(dir.File("p.config"), data).Ok());
    return test::ReadBytes(dir.File("p.config"));
}

std::u16string FileText(const std::string& bytes) {
    return Utf16FromLeBytes(std::string_view(bytes).substr(kConfigHeaderSize));
}

ConsoleData StateWithLines() {
    ConsoleData data = test::MeasuredState();
    data.settings.passLines.minThroughput = ThroughputLine{90.0, true};
    data.settings.passLines.maxLossPercent = 0.5;
    data.table[2].config.passLines.minThroughput = ThroughputLine{250.0, false};
    data.table[2].config.passLines.maxRttRiseMs = 5.0;
    data.table[1].figures.quality.lossPercent = 1.25;
    data.table[1].config.passLines.maxJitterMs = 2.0;
    return data;
}

TEST(ConfigPassLinesTest, LinesFollowTheQualityTokensAndTheOlderReaderIgnoresThem) {
    ConsoleData withLines = StateWithLines();
    const std::string bytes = SavedWithLines(withLines);
    const std::string text = Utf16ToUtf8(FileText(bytes));
    EXPECT_NE(text.find(" 5 250.5 - min=90.00% loss=0.50\r"), std::string::npos) << text;
    EXPECT_NE(text.find(" 1.2500 - - - - - jitter=2.00\r"), std::string::npos) << text;
    EXPECT_NE(text.find(" - - - - - - min=250.00 rise=5.00\r"), std::string::npos) << text;

    // An older reader sees the file as if it had no lines.
    ConsoleData plain = test::MeasuredState();
    plain.table[1].figures.quality.lossPercent = 1.25;
    const std::string plainBytes = SavedWithLines(plain);
    ConsoleData olderRead;
    legacy::ApplyConfigText(FileText(bytes), olderRead);
    ConsoleData olderReadOfPlain;
    legacy::ApplyConfigText(FileText(plainBytes), olderReadOfPlain);
    EXPECT_EQ(test::DescribeSavedState(olderRead), test::DescribeSavedState(olderReadOfPlain));

    ConsoleData newRead;
    ASSERT_TRUE(ApplyConfigText(FileText(bytes), newRead));
    EXPECT_EQ(newRead.settings.passLines, withLines.settings.passLines);
    for (int row = 1; row < newRead.table.Size(); ++row)
        EXPECT_EQ(newRead.table[row].config.passLines, withLines.table[row].config.passLines)
            << row;
    EXPECT_FALSE(newRead.table[2].figures.quality.lossPercent);  // "-" stays no figure
    EXPECT_EQ(newRead.table[1].figures.quality.lossPercent, 1.25);
    EXPECT_EQ(test::DescribeSavedState(newRead), test::DescribeSavedState(olderRead));

    // Saved again, the file is the same.
    EXPECT_EQ(SavedWithLines(newRead), bytes);

    // Opened, the measured run is judged against its lines again.
    ApplyOpenedRunState(newRead);
    ASSERT_TRUE(newRead.judgement);
    const PairJudgement* second = newRead.judgement->Find(newRead.table[2].id);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->lines.minThroughput, (ThroughputLine{250.0, false}));
    EXPECT_EQ(second->lines.maxLossPercent, 0.5);  // the run's, beside the pair's own
    ConsoleData plainRead;
    ApplyConfigText(FileText(plainBytes), plainRead);
    ApplyOpenedRunState(plainRead);
    EXPECT_FALSE(plainRead.judgement);
}

TEST(ConfigPassLinesTest, FilesWithoutLinesStayAsTheyWereAndBadLinesAreDropped) {
    ConsoleData plain = test::MeasuredState();
    const std::string text = Utf16ToUtf8(FileText(SavedWithLines(plain)));
    EXPECT_EQ(text.find('='), std::string::npos);

    ConsoleData data;
    ApplyConfigText(Utf8ToUtf16("[]\n[]\nAll 1 10 0 1 1.00 1.00 1.00 1.00 1 0 10 250 - "
                                "min=fast loss=200 jitter=1.50 =3 rise\r\n"
                                "Pair1 a b 4 1 1 1.00 1.00 1.00 1 1.00 - - - - - - drop=12.5\r\n"),
                    data);
    EXPECT_FALSE(data.settings.passLines.minThroughput);
    EXPECT_FALSE(data.settings.passLines.maxLossPercent);  // above 100 %
    EXPECT_EQ(data.settings.passLines.maxJitterMs, 1.5);
    EXPECT_EQ(data.table[1].config.passLines.maxBaselineDropPercent, 12.5);
}

}  // namespace
}  // namespace quarn::console
