#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/files/config_file.h"
#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/run_expectations.h"
#include "tests/support/temp_dir.h"

namespace quarn::e2e {
namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectSeries(const console::ChartModel& chart, std::size_t series,
                  const std::vector<double>& measured) {
    SCOPED_TRACE("series " + std::to_string(series));
    ASSERT_LT(series, chart.Series().size());
    const console::ChartSeries& points = chart.Series()[series];
    ASSERT_EQ(points.size(), measured.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].value, measured[i], 0.006) << "second " << i + 1;
    }
}

using ConsoleFileTest = EndPointNetworkTest;

TEST_F(ConsoleFileTest, RemoteTcpRunSavedAndReopenedGivesBackTheSameRun) {
    test_support::TempDir files;
    const std::string saved = files.File("run.config");
    const std::string resaved = files.File("resaved.config");
    const std::string csv = files.File("run.csv");
    constexpr int kSeconds = 4;
    const std::string seconds = std::to_string(kSeconds);
    const ConsoleResult run = RunConsole({"--pair", Address(2) + "," + Address(3), "--duration",
                                          seconds, "--window", "2", "--save", saved, "--csv", csv});
    ExpectCompletedRun(run, kSeconds);
    const std::optional<RowFigures> pair = ExpectSensiblePair(run, "Pair1", kSeconds);
    const std::optional<RowFigures> all = FindRow(run.lines, "All");
    ASSERT_TRUE(pair && all) << run.Transcript();

    // The file holds the pair, the settings and the value of every second of the run.
    console::ConsoleData data;
    ASSERT_EQ(console::ReadConfigFile(saved, data, [&] { data.ResetToNew(); }),
              console::ConfigResult::Done);
    ASSERT_EQ(data.table.PairCount(), 1);
    const console::PairRecord& record = data.table[1];
    EXPECT_EQ(record.config.endpoint1, Address(2));
    EXPECT_EQ(record.config.endpoint2, Address(3));
    EXPECT_EQ(record.config.parallel, 1);
    EXPECT_EQ(record.figures.statusText, "Done");
    EXPECT_EQ(record.figures.count, kSeconds);
    EXPECT_EQ(data.settings.durationText, seconds);
    EXPECT_EQ(data.settings.protocol, console::Protocol::Tcp);
    EXPECT_EQ(data.settings.windowSizeText, "2");
    EXPECT_EQ(data.ticks, kSeconds);
    EXPECT_FALSE(data.measuredAt.empty());
    std::map<std::string, std::vector<double>> measured = ReadTickCsv(csv);
    ExpectSeries(data.chart, 1, measured["Pair1"]);
    ExpectSeries(data.chart, 0, measured["All"]);

    // Opened without a run it shows the run's figures; saved again it is the same file.
    const ConsoleResult reopened = RunConsole({"--open", saved, "--no-run", "--save", resaved});
    EXPECT_EQ(reopened.exitCode, 0) << reopened.Transcript();
    EXPECT_TRUE(HasLine(reopened.lines, "(measured at " + data.measuredAt + ")"))
        << reopened.Transcript();
    EXPECT_EQ(FindRow(reopened.lines, "Pair1"), pair) << reopened.Transcript();
    EXPECT_EQ(FindRow(reopened.lines, "All"), all) << reopened.Transcript();
    const std::string original = ReadBytes(saved);
    EXPECT_GT(original.size(), 40u);
    EXPECT_EQ(ReadBytes(resaved), original);

    // Cut short in the pair's series, the file opens as far as it goes, says so and the
    // Console exits with 1; saved again, what was read makes a whole file.
    const std::string cut = files.File("cut.config");
    const std::string repaired = files.File("repaired.config");
    std::ofstream(cut, std::ios::binary) << original.substr(0, original.size() - 8);
    const ConsoleResult incomplete = RunConsole({"--open", cut, "--no-run", "--save", repaired});
    EXPECT_EQ(incomplete.exitCode, 1) << incomplete.Transcript();
    EXPECT_TRUE(HasLine(incomplete.lines, "The file is incomplete: 1 pairs were read."))
        << incomplete.Transcript();
    EXPECT_TRUE(FindRow(incomplete.lines, "Pair1")) << incomplete.Transcript();
    console::ConsoleData again;
    EXPECT_EQ(console::ReadConfigFile(repaired, again, [&] { again.ResetToNew(); }),
              console::ConfigResult::Done);
    EXPECT_EQ(again.table.PairCount(), 1);

    // A save that cannot be written says why, in the system's words.
    const std::string nowhere = files.File("missing/again.config");
    const ConsoleResult unsaved = RunConsole({"--open", saved, "--no-run", "--save", nowhere});
    EXPECT_EQ(unsaved.exitCode, 1) << unsaved.Transcript();
    EXPECT_TRUE(AnyLineContains(
        unsaved.lines, "Cannot save the file: " + nowhere + " (No such file or directory)"))
        << unsaved.Transcript();
}

}  // namespace
}  // namespace quarn::e2e
