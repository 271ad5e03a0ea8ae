#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "console/core/pair_notes.h"
#include "console/files/config_file.h"
#include "console/files/opened_run_state.h"
#include "tests/unit/console_files/config_test_support.h"

namespace quarn::console {
namespace {

using test::TempDir;

ConsoleData Measured(int pairs, bool udp) {
    ConsoleData data;
    data.settings.protocol = udp ? Protocol::Udp : Protocol::Tcp;
    data.chart.AppendSeries({{5.0f}, {6.0f}});
    for (int i = 0; i < pairs; ++i) {
        PairRecord pair;
        pair.config.endpoint1 = "198.18.0." + std::to_string(10 + i);
        pair.config.endpoint2 = "198.18.1.10";
        pair.run.protocol = udp ? Protocol::Udp : Protocol::Tcp;
        pair.figures.count = 2;
        pair.figures.countText = "2";
        pair.figures.max = 3.0f;
        pair.figures.maxText = "3.00";
        pair.figures.state = PairState::Done;
        pair.figures.statusText = "Done";
        data.table.AppendPair(pair);
        data.chart.AppendSeries({{2.0f}, {3.0f}});
    }
    data.ticks = 2;
    return data;
}

ConsoleData SavedAndOpened(ConsoleData& data, const TempDir& dir) {
    EXPECT_TRUE(WriteConfigFile(dir.File("figures.config"), data).Ok());
    ConsoleData read;
    EXPECT_EQ(ReadConfigFile(dir.File("figures.config"), read, [&] { read.ResetToNew(); }),
              ConfigResult::Done);
    ApplyOpenedRunState(read);
    return read;
}

TEST(ConfigFiguresTest, FiguresClearedByAnEditAreNotSaved) {
    TempDir dir;
    ConsoleData data = Measured(2, false);
    ASSERT_TRUE(data.EditPair(data.table.IdAt(1), "198.18.0.77", "198.18.1.10", 1));
    const ConsoleData read = SavedAndOpened(data, dir);
    ASSERT_EQ(read.table.PairCount(), 2);
    EXPECT_EQ(read.table[1].config.endpoint1, "198.18.0.77");
    EXPECT_EQ(read.table[1].figures.count, 0);
    EXPECT_EQ(read.table[1].figures.maxText, "0.00");
    EXPECT_TRUE(read.chart.Series()[1].empty());
    EXPECT_EQ(read.table[2].figures.count, 2);
    EXPECT_EQ(read.chart.Series()[2].size(), 2u);
}

// A file keeps one protocol, the one its figures were measured with: switching after
// opening it shows the note, as after a run.
TEST(ConfigFiguresTest, OpenedFiguresKeepTheProtocolTheyWereMeasuredWith) {
    TempDir dir;
    for (const bool udp : {false, true}) {
        ConsoleData data = Measured(1, udp);
        const ConsoleData read = SavedAndOpened(data, dir);
        ASSERT_EQ(read.table.PairCount(), 1);
        EXPECT_EQ(MeasuredWith(read.table[1], udp), "");
        EXPECT_EQ(MeasuredWith(read.table[1], !udp), udp ? "UDP" : "TCP");
    }
}

TEST(ConfigFiguresTest, FailedSaveGivesTheSystemsReason) {
    TempDir dir;
    ConsoleData data = Measured(1, false);
    const Outcome saved = WriteConfigFile(dir.File("saved.config"), data);
    EXPECT_TRUE(saved.Ok());
    EXPECT_EQ(saved.Why(), "");
    const Outcome missing = WriteConfigFile(dir.File("missing/saved.config"), data);
    EXPECT_FALSE(missing.Ok());
    EXPECT_EQ(missing.Why(), std::strerror(ENOENT));
    test::WriteBytes(dir.File("plain"), "x");
    EXPECT_EQ(WriteConfigFile(dir.File("plain/saved.config"), data).Why(), std::strerror(ENOTDIR));
}

}  // namespace
}  // namespace quarn::console
