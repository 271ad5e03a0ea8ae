#include "console/session/console_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "console/core/event_loop.h"
#include "console/core/pair_table.h"
#include "console/files/config_file.h"
#include "tests/support/temp_dir.h"
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
    ASSERT_TRUE(session.StartSearch([&](const Outcome& found) { notice = found.Why(); }));
    EXPECT_EQ(session.Mode(), ConsoleMode::Searching);
    // One search at a time, and none outside Idle.
    EXPECT_FALSE(session.StartSearch([](const Outcome&) {}));

    EXPECT_TRUE(loop.RunUntil([&] { return notice.has_value(); }, 10s));
    EXPECT_EQ(*notice, PairTable::kNoEndPointFound);
    EXPECT_EQ(session.Mode(), ConsoleMode::Idle);
    EXPECT_FALSE(session.Data().endPointsKnown);
    EXPECT_TRUE(session.StartSearch({}));
}

TEST_F(ConsoleSessionTest, AQuitDropsTheResultOfASearchStillRunning) {
    bool called = false;
    ASSERT_TRUE(session.StartSearch([&](const Outcome&) { called = true; }));
    session.Quit();
    EXPECT_FALSE(session.Searching());
    loop.RunFor(100ms);
    EXPECT_FALSE(called);
    EXPECT_FALSE(session.StartSearch([&](const Outcome&) { called = true; }));
}

// Saves to one path without asking; counts what the file flow reports.
class SilentFileFront : public FileSessionHost, public FileDialogs {
  public:
    explicit SilentFileFront(std::string path) : path_(std::move(path)) {}
    bool IsIdle() const override { return true; }
    void CommitEditsToSettings() override {}
    void PerformNew() override {}
    void SetFileBusy(bool) override {}
    void ShowNotice(NoticeKind, std::string_view text) override { notices.emplace_back(text); }
    void FileFinished(FileCommand, ConfigResult result) override { results.push_back(result); }
    std::optional<std::string> ChooseOpenPath(const std::string&) override { return path_; }
    std::optional<std::string> ChooseSavePath(FileCommand, const std::string&,
                                              const std::string&) override {
        return path_;
    }

    std::vector<std::string> notices;
    std::vector<ConfigResult> results;

  private:
    std::string path_;
};

TEST_F(ConsoleSessionTest, TheFileFlowSavesTheSessionsDataAndItsResultDiesWithIt) {
    test_support::TempDir dir;
    SilentFileFront front(dir.File("run.config"));
    EXPECT_EQ(session.Files(), nullptr);
    FileSession& files = session.OpenFiles(front, front, dir.File("configs"));
    EXPECT_EQ(session.Files(), &files);
    files.SetProgressMinimum(0ms);

    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    session.Data().AddPair(pair);
    files.Run(FileCommand::Save);
    ASSERT_TRUE(loop.RunUntil([&] { return !front.results.empty(); }, 10s));
    EXPECT_EQ(front.results.back(), ConfigResult::Done);
    EXPECT_EQ(files.CurrentFileName(), "run.config");
    ConsoleData saved;
    ASSERT_EQ(ReadConfigFile(dir.File("run.config"), saved, nullptr), ConfigResult::Done);
    ASSERT_EQ(saved.table.PairCount(), 1);
    EXPECT_EQ(saved.table[1].config.endpoint2, "198.18.0.3");

    // Closed while a save runs (the front end going): joined, and its result never comes.
    files.Run(FileCommand::SaveAs);
    session.CloseFiles();
    EXPECT_EQ(session.Files(), nullptr);
    loop.RunFor(50ms);
    EXPECT_EQ(front.results.size(), 1u);
}

TEST_F(ConsoleSessionTest, ASearchOnTheCallingThreadAppliesItsResult) {
    session.Data().endPointsKnown = true;
    EXPECT_EQ(session.SearchNow({}).Why(), PairTable::kNoEndPointFound);
    EXPECT_FALSE(session.Data().endPointsKnown);
}

}  // namespace
}  // namespace quarn::console
