#include "console/session/console_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "console/core/event_loop.h"
#include "console/core/pair_table.h"
#include "tests/unit/console_core/recording_view.h"
#include "tests/unit/console_core/scripted_sessions.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;

class ConsoleSessionTest : public ::testing::Test {
  protected:
    ConsoleSessionTest() : session(Options(), loop) { session.AttachView(&view); }

    SessionOptions Options() {
        SessionOptions options;
        // No such interface: a search has no target and sends nothing.
        options.interfaces = {"quarn-none0"};
        options.sessions = &factory;
        options.environment = &environment;
        return options;
    }

    test::ScriptedSessionFactory factory;
    test::FakeEnvironment environment;
    EventLoop loop;
    test::RecordingView view;
    ConsoleSession session;
};

TEST_F(ConsoleSessionTest, TheRunReportsToTheAttachedViewOnly) {
    EXPECT_FALSE(session.Run().Start());
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_EQ(view.notices[0].second, MeasurementRun::kNoPair);

    session.AttachView(nullptr);
    EXPECT_FALSE(session.Run().Start());
    EXPECT_EQ(view.notices.size(), 1u);
}

TEST_F(ConsoleSessionTest, ARunUsesTheGivenSessionsAndEnvironment) {
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    session.Data().AddPair(pair);
    test::SessionScript script;
    script.waitForAbort = false;
    factory.Script(1, script);

    ASSERT_TRUE(session.Run().Start());
    EXPECT_EQ(session.Mode(), ConsoleMode::Measuring);
    EXPECT_TRUE(loop.RunUntil([&] { return !factory.probes.empty(); }, 5s));
    const int restarts = environment.restarts;
    const int leftoverEnds = environment.leftoverEnds;
    session.Quit();
    EXPECT_TRUE(session.Quitting());
    EXPECT_EQ(session.Run().WorkerThreads(), 0u);
    EXPECT_EQ(environment.restarts, restarts + 1);
    EXPECT_EQ(environment.leftoverEnds, leftoverEnds + 1);
}

TEST_F(ConsoleSessionTest, ASearchEndsIdleWithItsNoticeOnTheMainThread) {
    std::optional<std::string> notice;
    ASSERT_TRUE(session.StartSearch([&](const std::string& text) { notice = text; }));
    EXPECT_EQ(session.Mode(), ConsoleMode::Searching);
    // One search at a time, and none outside Idle.
    EXPECT_FALSE(session.StartSearch([](const std::string&) {}));

    EXPECT_TRUE(loop.RunUntil([&] { return notice.has_value(); }, 10s));
    EXPECT_EQ(*notice, PairTable::kNoEndPointFound);
    EXPECT_EQ(session.Mode(), ConsoleMode::Idle);
    EXPECT_FALSE(session.Data().endPointsKnown);
    EXPECT_TRUE(session.StartSearch({}));
}

TEST_F(ConsoleSessionTest, AQuitDropsTheResultOfASearchStillRunning) {
    bool called = false;
    ASSERT_TRUE(session.StartSearch([&](const std::string&) { called = true; }));
    session.Quit();
    EXPECT_FALSE(session.Searching());
    loop.RunFor(100ms);
    EXPECT_FALSE(called);
    EXPECT_FALSE(session.StartSearch([&](const std::string&) { called = true; }));
}

TEST_F(ConsoleSessionTest, ASearchOnTheCallingThreadAppliesItsResult) {
    session.Data().endPointsKnown = true;
    EXPECT_EQ(session.SearchNow(nullptr), PairTable::kNoEndPointFound);
    EXPECT_FALSE(session.Data().endPointsKnown);
}

}  // namespace
}  // namespace quarn::console
