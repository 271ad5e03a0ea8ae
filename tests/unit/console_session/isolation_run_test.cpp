#include "console/session/isolation_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/core/event_loop.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_core/recording_view.h"
#include "tests/unit/console_core/scripted_sessions.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;

// Pairs 1 and 2 go through one 100 Mbit/s link, pair 3 through a 50 Mbit/s one of its own;
// pair 4 is inactive. The phases are measured by a model of that network, not by a run.
class IsolationRunTest : public ::testing::Test {
  protected:
    IsolationRunTest() : session(Options(), loop) {
        session.AttachView(&view);
        for (int i = 0; i < 4; ++i) {
            PairConfig pair;
            pair.endpoint1 = "198.18.0." + std::to_string(2 + i);
            pair.endpoint2 = "198.18.0.9";
            pair.active = i != 3;
            session.Data().AddPair(pair);
        }
        session.Data().settings.durationText = "60";
    }

    SessionOptions Options() {
        SessionOptions options;
        options.historyDir = history.File("runs");
        options.interfaces = {"quarn-none0"};
        options.sessions = &factory;
        options.environment = &environment;
        return options;
    }

    // Which rows were active in each phase, and what the phase's duration was.
    Outcome Measure() {
        ConsoleData& data = session.Data();
        std::vector<int> active;
        for (int row = 1; row < data.table.Size(); ++row) {
            if (data.table[row].config.active)
                active.push_back(row);
        }
        phases.push_back(active);
        durations.push_back(data.settings.durationText);
        if (static_cast<int>(phases.size()) == failAt)
            return Outcome::Failed("The current measurement is stopped.");
        const auto sharing = static_cast<float>(
            std::count_if(active.begin(), active.end(), [](int row) { return row <= 2; }));
        for (int row = 1; row < data.table.Size(); ++row)
            data.table[row].figures.average = row <= 2 ? 100.0f / sharing : 50.0f;
        return Outcome::Done();
    }

    Result<IsolationResult> Isolate() {
        return RunIsolation(session, 3s, [this] { return Measure(); });
    }

    void ExpectActivityGivenBack() {
        const ConsoleData& data = session.Data();
        EXPECT_TRUE(data.table[1].config.active && data.table[2].config.active &&
                    data.table[3].config.active);
        EXPECT_FALSE(data.table[4].config.active);
        EXPECT_EQ(data.settings.durationText, "60");
    }

    test_support::TempDir history;
    test::ScriptedSessionFactory factory;
    test::FakeEnvironment environment;
    EventLoop loop;
    test::RecordingView view;
    ConsoleSession session;
    std::vector<std::vector<int>> phases;
    std::vector<std::string> durations;
    int failAt = 0;
};

TEST_F(IsolationRunTest, EachActivePairAloneThenAllTogether) {
    const Result<IsolationResult> result = Isolate();
    ASSERT_TRUE(result) << result.Why();
    EXPECT_EQ(phases, (std::vector<std::vector<int>>{{1}, {2}, {3}, {1, 2, 3}}));
    EXPECT_EQ(durations, std::vector<std::string>(4, "3"));
    ExpectActivityGivenBack();

    ASSERT_EQ(result->pairs.size(), 3u);
    EXPECT_EQ(result->pairs[0].id, session.Data().table[1].id);
    EXPECT_EQ(result->pairs[1].route, "198.18.0.3 -> 198.18.0.9");
    EXPECT_DOUBLE_EQ(result->pairs[1].aloneMbps, 100.0);
    EXPECT_DOUBLE_EQ(result->pairs[1].togetherMbps, 50.0);
    EXPECT_DOUBLE_EQ(result->pairs[2].togetherMbps, 50.0);
    ASSERT_EQ(result->shared.size(), 1u);
    EXPECT_EQ(DescribeBottleneck(result->shared[0]), "pairs 1 and 2 share about 100 Mbit/s");

    const std::string text = FormatIsolation(*result);
    EXPECT_NE(text.find("Pair2     100.00     50.00  198.18.0.3 -> 198.18.0.9\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\npairs 1 and 2 share about 100 Mbit/s\n"), std::string::npos) << text;
}

// A phase that did not complete ends the isolation with its cause; one pair is no
// isolation at all. Either way the table is as it was.
TEST_F(IsolationRunTest, RefusedOrCutShortItGivesTheTableBack) {
    failAt = 2;
    const Result<IsolationResult> cut = Isolate();
    EXPECT_EQ(cut.Why(), "Pair2 alone: The current measurement is stopped.");
    EXPECT_EQ(phases.size(), 2u);
    ExpectActivityGivenBack();

    phases.clear();
    session.Data().table[2].config.active = false;
    session.Data().table[3].config.active = false;
    EXPECT_EQ(Isolate().Why(), "An isolation run needs two or more activated pairs.");
    EXPECT_TRUE(phases.empty());
}

}  // namespace
}  // namespace quarn::console
