// The window Console killed at a random second of a run between real EndPoints: the next
// start finds the run in the history up to at most one second before the kill.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>

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

// "second N VALUE" lines of the driver (within the transcript's lines): N -> VALUE.
std::map<int, float> PrintedSeconds(const std::vector<std::string>& lines) {
    std::map<int, float> seconds;
    for (const std::string& line : lines) {
        const auto at = line.find("second ");
        if (at == std::string::npos)
            continue;
        std::istringstream fields(line.substr(at));
        std::string word;
        int second = 0;
        double value = 0.0;
        if (fields >> word >> second >> value && word == "second")
            seconds[second] = static_cast<float>(value);
    }
    return seconds;
}

TEST_F(WindowKillTest, AKilledWindowIsRecoveredUpToASecondBeforeTheKill) {
    std::random_device random;
    const int killAfter = std::uniform_int_distribution<int>(4, 12)(random);
    const int extraMs = std::uniform_int_distribution<int>(0, 999)(random);
    SCOPED_TRACE("killed " + std::to_string(extraMs) + " ms after second " +
                 std::to_string(killAfter));
    test_support::RunningProgram window =
        Network().Spawn(1, {QUARN_WINDOW_DRIVER, Address(2), Address(3), "120"},
                        {"QT_QPA_PLATFORM=offscreen", "XDG_STATE_HOME=" + state.Path()});
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
    const std::map<int, float> printed = PrintedSeconds(lines);
    ASSERT_GE(static_cast<int>(printed.size()), killAfter) << window.Transcript();

    const auto unfinished = records::LatestUnfinished(records::JournalDirectory());
    ASSERT_TRUE(unfinished.has_value());
    const auto journal = records::ReadJournal(unfinished->path);
    ASSERT_TRUE(journal.has_value());
    EXPECT_FALSE(journal->Finished());
    EXPECT_GE(journal->seconds, static_cast<int>(printed.size()) - 1);
    ASSERT_EQ(journal->values.size(), 1u);
    const std::vector<float>& values = journal->values.begin()->second;
    for (const auto& [second, value] : printed) {
        if (second <= journal->seconds) {
            EXPECT_EQ(values.at(static_cast<std::size_t>(second - 1)), value) << second;
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
    ASSERT_EQ(opened.table.PairCount(), 1);
    EXPECT_EQ(opened.table[1].config.endpoint2, Address(3));
    EXPECT_EQ(opened.table[1].figures.statusText, "Stopped");
}

}  // namespace
}  // namespace quarn::e2e
