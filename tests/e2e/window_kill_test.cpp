// The window Console killed at a random second of a 16-pair run between real EndPoints: the
// next start finds every pair's seconds in the history up to at most one before the kill.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/core/console_data.h"
#include "console/files/config_file.h"
#include "console/records/journal_directory.h"
#include "console/records/journal_reader.h"
#include "console/records/run_history.h"
#include "tests/e2e/console_network_test.h"

namespace quarn::e2e {
namespace {

namespace records = console::records;

class WindowKillTest : public EndPointNetworkTest {
  protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        EndPointNetworkTest::SetUp();
    }
    test_support::TempDir state;
    test_support::TempDir files;
};

// "second N VALUE1 VALUE2 ..." lines of the driver: N -> each pair's value. A line the
// kill cut short (fewer values) is left out.
std::map<int, std::vector<float>> PrintedSeconds(const std::vector<std::string>& lines,
                                                 std::size_t pairs) {
    std::map<int, std::vector<float>> seconds;
    for (const std::string& line : lines) {
        const auto at = line.find("second ");
        if (at == std::string::npos)
            continue;
        std::istringstream fields(line.substr(at));
        std::string word;
        int second = 0;
        if (!(fields >> word >> second) || word != "second")
            continue;
        std::vector<float> values;
        for (double value = 0.0; fields >> value;)
            values.push_back(static_cast<float>(value));
        if (values.size() == pairs)
            seconds[second] = std::move(values);
    }
    return seconds;
}

// Sixteen 1 Mbit/s UDP pairs both ways between two EndPoints, so two busy cores keep up.
TEST_F(WindowKillTest, AKilledWindowIsRecoveredUpToASecondBeforeTheKill) {
    constexpr int kPairs = console::PairTable::kMaxPairs;
    std::random_device random;
    const int killAfter = std::uniform_int_distribution<int>(4, 7)(random);
    const int extraMs = std::uniform_int_distribution<int>(0, 999)(random);
    SCOPED_TRACE("killed " + std::to_string(extraMs) + " ms after second " +
                 std::to_string(killAfter));
    std::vector<std::string> argv = {QUARN_WINDOW_DRIVER, "120", "1"};
    for (int pair = 1; pair <= kPairs; ++pair) {
        const bool back = pair % 2 == 0;
        argv.push_back(Address(back ? 3 : 2) + "," + Address(back ? 2 : 3));
    }
    test_support::RunningProgram window =
        Network().Spawn(1, argv, {"QT_QPA_PLATFORM=offscreen", "XDG_STATE_HOME=" + state.Path()});
    ASSERT_TRUE(window.WaitForLine("second " + std::to_string(killAfter) + " ", kRunTimeoutMs))
        << window.Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(extraMs));
    ASSERT_TRUE(window.Signal(SIGKILL));
    window.ReadRemainingLines(3000);
    window.WaitExit(5000);
    std::istringstream transcript(window.Transcript());
    std::vector<std::string> lines;
    for (std::string line; std::getline(transcript, line);)
        lines.push_back(line);
    const std::map<int, std::vector<float>> printed = PrintedSeconds(lines, kPairs);
    ASSERT_FALSE(printed.empty()) << window.Transcript();
    const int last = printed.rbegin()->first;
    ASSERT_GE(last, killAfter) << window.Transcript();

    const auto unfinished = records::LatestUnfinished(records::JournalDirectory());
    ASSERT_TRUE(unfinished.has_value());
    const auto journal = records::ReadJournal(unfinished->path);
    ASSERT_TRUE(journal.has_value());
    EXPECT_FALSE(journal->Finished());
    std::printf("killed %d ms after second %d: %d seconds printed, %d journalled\n", extraMs,
                killAfter, last, journal->seconds);
    EXPECT_GE(journal->seconds, last - 1);
    EXPECT_LE(journal->seconds, last + 1);
    ASSERT_EQ(journal->values.size(), static_cast<std::size_t>(kPairs));
    // Every pair measured: its 1 Mbit/s shows in the journal.
    for (const auto& [pair, values] : journal->values)
        EXPECT_GT(values.empty() ? 0.0f : *std::max_element(values.begin(), values.end()), 0.5f)
            << "pair " << pair;
    for (const auto& [second, values] : printed) {
        if (second > journal->seconds)
            continue;
        for (int pair = 1; pair <= kPairs; ++pair) {
            EXPECT_EQ(journal->values.at(pair).at(static_cast<std::size_t>(second - 1)),
                      values[static_cast<std::size_t>(pair - 1)])
                << "pair " << pair << " second " << second;
        }
    }

    // Saved from the history, it opens like any other file.
    const std::string saved = files.File("recovered.config");
    const ConsoleResult recovered = RunConsole({"--recover", "--no-run", "--save", saved}, 20000);
    ASSERT_EQ(recovered.exitCode, 0) << recovered.Transcript();
    console::ConsoleData opened;
    ASSERT_EQ(console::ReadConfigFile(saved, opened, [&] { opened.ResetToNew(); }),
              console::ConfigResult::Done);
    EXPECT_EQ(opened.ticks, journal->seconds);
    ASSERT_EQ(opened.table.PairCount(), kPairs);
    EXPECT_EQ(opened.settings.protocol, console::Protocol::Udp);
    for (int row = 1; row <= kPairs; ++row) {
        EXPECT_EQ(opened.table[row].config.endpoint2, Address(row % 2 == 0 ? 2 : 3)) << row;
        EXPECT_EQ(opened.table[row].figures.statusText, "Stopped") << row;
    }
}

}  // namespace
}  // namespace quarn::e2e
