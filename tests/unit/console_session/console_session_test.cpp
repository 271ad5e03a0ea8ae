#include "console/session/console_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "console/core/event_loop.h"
#include "console/core/pair_table.h"
#include "console/files/config_file.h"
#include "console/records/run_history.h"
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
        options.historyDir = history.File("runs");
        // No such interface: a search has no target and sends nothing.
        options.interfaces = {"quarn-none0"};
        options.sessions = &factory;
        options.environment = &environment;
        return options;
    }

    test_support::TempDir history;
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

// A search or a file under way holds the run, whether it is started through the session or
// on the run itself.
TEST_F(ConsoleSessionTest, NoRunStartsWhileTheSessionIsBusy) {
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    session.Data().AddPair(pair);
    for (const ConsoleMode busy : {ConsoleMode::Searching, ConsoleMode::FileBusy}) {
        ASSERT_TRUE(session.SetMode(busy));
        EXPECT_FALSE(session.Run().Start());
        EXPECT_FALSE(session.StartRun());
        session.StartOrStop();
        EXPECT_FALSE(session.Run().Measuring());
        EXPECT_EQ(session.Mode(), busy);
    }
    EXPECT_TRUE(factory.probes.empty());
    EXPECT_TRUE(view.notices.empty());
    EXPECT_EQ(environment.restarts, 0);
    ASSERT_TRUE(session.SetMode(ConsoleMode::Idle));
    ASSERT_TRUE(session.Run().Start());
    EXPECT_EQ(session.Mode(), ConsoleMode::Measuring);
    session.Quit();
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

// A run starts in Idle mode only, and nothing else takes the mode while it is active.
TEST_F(ConsoleSessionTest, TheSessionsModeGuardsTheRun) {
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    session.Data().AddPair(pair);
    test::SessionScript script;
    script.waitForAbort = false;
    factory.Script(1, script);

    for (const ConsoleMode busy : {ConsoleMode::Searching, ConsoleMode::FileBusy}) {
        ASSERT_TRUE(session.SetMode(busy));
        EXPECT_FALSE(session.StartRun());
        session.StartOrStop();
        EXPECT_FALSE(session.Run().Measuring());
        EXPECT_EQ(session.Mode(), busy);
    }
    EXPECT_FALSE(session.SetMode(ConsoleMode::Measuring));
    ASSERT_TRUE(session.SetMode(ConsoleMode::Idle));
    EXPECT_TRUE(view.notices.empty());

    session.StartOrStop();
    ASSERT_TRUE(session.Run().Measuring());
    EXPECT_FALSE(session.SetMode(ConsoleMode::Searching));
    EXPECT_FALSE(session.SetMode(ConsoleMode::Idle));
    EXPECT_EQ(session.Mode(), ConsoleMode::Measuring);
    EXPECT_FALSE(session.StartRun());
    session.Quit();
}

TEST_F(ConsoleSessionTest, ASearchEndsIdleWithItsNoticeOnTheMainThread) {
    ASSERT_TRUE(session.StartSearch());
    EXPECT_EQ(session.Mode(), ConsoleMode::Searching);
    // One search at a time, and none outside Idle.
    EXPECT_FALSE(session.StartSearch());

    EXPECT_TRUE(loop.RunUntil([&] { return view.searchEnds == 1; }, 10s));
    // The end comes first (the lists show the result), then the notice saying why.
    EXPECT_EQ(view.noticesAtSearchEnd, 0u);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_EQ(view.notices[0].second, PairTable::kNoEndPointFound);
    EXPECT_EQ(session.Mode(), ConsoleMode::Idle);
    EXPECT_FALSE(session.Data().endPointsKnown);
    EXPECT_TRUE(session.StartSearch());
}

TEST_F(ConsoleSessionTest, AQuitDropsTheResultOfASearchStillRunning) {
    ASSERT_TRUE(session.StartSearch());
    session.Quit();
    EXPECT_FALSE(session.Searching());
    loop.RunFor(100ms);
    EXPECT_EQ(view.searchEnds, 0);
    EXPECT_TRUE(view.notices.empty());
    EXPECT_FALSE(session.StartSearch());
}

// Saves to one path without asking; counts what the file flow reports.
class SilentFileFront : public FileFront, public FileDialogs {
  public:
    explicit SilentFileFront(std::string path) : path_(std::move(path)) {}
    void CommitEditsToSettings() override { ++commits; }
    void PerformNew() override { ++news; }
    std::optional<std::string> ChooseOpenPath(const std::string&) override { return path_; }
    std::optional<std::string> ChooseSavePath(FileCommand, const std::string&,
                                              const std::string&) override {
        return path_;
    }

    int commits = 0;
    int news = 0;

  private:
    std::string path_;
};

TEST_F(ConsoleSessionTest, TheFileFlowSavesTheSessionsDataAndItsResultDiesWithIt) {
    test_support::TempDir dir;
    SilentFileFront front(dir.File("run.config"));
    EXPECT_EQ(session.Files(), nullptr);
    FileFlow& files = session.OpenFiles(front, front, dir.File("configs"));
    EXPECT_EQ(session.Files(), &files);
    files.SetProgressMinimum(0ms);

    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    session.Data().AddPair(pair);
    files.Run(FileCommand::Save);
    // The session holds the FileBusy mode while the worker runs and says so to the view.
    EXPECT_EQ(session.Mode(), ConsoleMode::FileBusy);
    EXPECT_EQ(view.fileBusy, std::vector<bool>{true});
    EXPECT_EQ(front.commits, 1);
    files.Run(FileCommand::New);  // refused while busy
    EXPECT_EQ(front.news, 0);
    ASSERT_TRUE(loop.RunUntil([&] { return !view.filesFinished.empty(); }, 10s));
    // The end of a save reaches the view, before the notice of its result.
    EXPECT_EQ(view.filesFinished, std::vector<bool>{false});
    EXPECT_EQ(view.noticesAtFileFinished, view.notices.size() - 1);
    EXPECT_EQ(session.Mode(), ConsoleMode::Idle);
    EXPECT_EQ(view.fileBusy, (std::vector<bool>{true, false}));
    ASSERT_FALSE(view.notices.empty());
    EXPECT_EQ(view.notices.back().second, FileFlow::kSaveSucceeded);
    EXPECT_EQ(files.CurrentFileName(), "run.config");
    ConsoleData saved;
    ASSERT_EQ(ReadConfigFile(dir.File("run.config"), saved, nullptr), ConfigResult::Done);
    ASSERT_EQ(saved.table.PairCount(), 1);
    EXPECT_EQ(saved.table[1].config.endpoint2, "198.18.0.3");

    // An open says it read a file into the data.
    files.Run(FileCommand::Open);
    ASSERT_TRUE(loop.RunUntil([&] { return view.filesFinished.size() == 2; }, 10s));
    EXPECT_TRUE(view.filesFinished.back());
    EXPECT_EQ(view.notices.back().second, FileFlow::kOpenSucceeded);
    EXPECT_EQ(session.Data().table.PairCount(), 1);

    // Closed while a save runs (the front end going): joined, and its result never comes.
    files.Run(FileCommand::SaveAs);
    session.CloseFiles();
    EXPECT_EQ(session.Files(), nullptr);
    loop.RunFor(50ms);
    EXPECT_EQ(view.filesFinished.size(), 2u);
}

TEST_F(ConsoleSessionTest, AFileOpenedNowGetsTheStepsAfterAnOpen) {
    test_support::TempDir dir;
    ConsoleData saved;
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    saved.AddPair(pair);
    saved.ticks = 90;
    ASSERT_TRUE(WriteConfigFile(dir.File("lab.config"), saved));

    EXPECT_EQ(session.OpenFileNow(dir.File("lab.config")), ConfigResult::Done);
    EXPECT_EQ(session.Data().table.PairCount(), 1);
    // The stored run's length reaches the chart.
    EXPECT_EQ(session.Data().chart.RunLength(), 90);

    EXPECT_EQ(session.OpenFileNow(dir.File("missing.config")), ConfigResult::CannotAccess);
}

TEST_F(ConsoleSessionTest, NoFileCommandRunsOutsideIdle) {
    test_support::TempDir dir;
    SilentFileFront front(dir.File("run.config"));
    FileFlow& files = session.OpenFiles(front, front, dir.File("configs"));
    ASSERT_TRUE(session.StartSearch());
    files.Run(FileCommand::New);
    files.OpenPath(dir.File("run.config"));
    EXPECT_EQ(front.news, 0);
    EXPECT_FALSE(files.Busy());
    EXPECT_TRUE(view.fileBusy.empty());
    EXPECT_EQ(session.Mode(), ConsoleMode::Searching);
}

TEST_F(ConsoleSessionTest, ChartChangesReachTheAttachedView) {
    const int before = view.chartChanges;
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    session.Data().AddPair(pair);  // the chart gets the pair's curve
    EXPECT_GT(view.chartChanges, before);

    const int attached = view.chartChanges;
    session.AttachView(nullptr);
    session.Data().chart.Reset();
    EXPECT_EQ(view.chartChanges, attached);
}

TEST_F(ConsoleSessionTest, ASearchOnTheCallingThreadAppliesItsResult) {
    session.Data().endPointsKnown = true;
    EXPECT_EQ(session.SearchNow({}).Why(), PairTable::kNoEndPointFound);
    EXPECT_FALSE(session.Data().endPointsKnown);
}

std::string Interval(int second, int rate) {
    return "[  1] " + std::to_string(second) + ".0000-" + std::to_string(second + 1) +
           ".0000 sec  100 MBytes  " + std::to_string(rate) + " Mbits/sec";
}

// The session records its runs itself: the journal, the judgement, the JSON Lines and
// the metrics, whichever front end drives it.
class SessionRecordsTest : public ConsoleSessionTest {
  protected:
    // A pair whose run of `seconds` seconds is scripted to run to its end, or to wait for
    // an abort after its lines.
    void ScriptPair(int seconds, bool completes) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0.2";
        pair.endpoint2 = "198.18.0.3";
        session.Data().AddPair(pair);
        session.Data().settings.durationText = std::to_string(seconds);
        test::SessionScript script;
        for (int second = 0; second <= seconds + 2; ++second)
            script.lines.push_back(Interval(second, 40));
        if (!completes)
            script.lines.resize(1);
        factory.Script(1, script);
        session.Run().SetStartDelay(0ms);
    }
    bool RunToIdle() {
        return session.Run().Start() &&
               loop.RunUntil([&] { return session.Mode() == ConsoleMode::Idle; }, 10s);
    }
    std::vector<records::RunInfo> Runs() const { return records::ListRuns(session.HistoryDir()); }
};

TEST_F(SessionRecordsTest, ACompletedRunIsJournalledAndJudged) {
    ScriptPair(2, true);
    ASSERT_TRUE(RunToIdle());
    const std::vector<records::RunInfo> runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].finished);
    EXPECT_EQ(runs[0].outcome, "completed");
    EXPECT_EQ(runs[0].seconds, 2);
    EXPECT_EQ(runs[0].path, session.JournalPath());
    EXPECT_TRUE(session.Data().judgement.has_value());
    EXPECT_TRUE(view.notes.empty());

    // The next run starts unjudged and gets a journal of its own.
    ScriptPair(2, false);
    ASSERT_TRUE(session.Run().Start());
    EXPECT_FALSE(session.Data().judgement.has_value());
    EXPECT_NE(session.JournalPath(), runs[0].path);
    EXPECT_TRUE(std::filesystem::exists(session.JournalPath()));
}

TEST_F(SessionRecordsTest, AQuitDuringARunClosesItsJournalAsQuitUnjudged) {
    ScriptPair(5, false);
    ASSERT_TRUE(session.Run().Start());
    ASSERT_TRUE(loop.RunUntil([&] { return !factory.probes.empty(); }, 5s));
    session.Quit();
    const std::vector<records::RunInfo> runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].finished);
    EXPECT_EQ(runs[0].outcome, "quit");
    EXPECT_FALSE(session.Data().judgement.has_value());
}

TEST_F(SessionRecordsTest, AJournalThatCannotBeWrittenIsNotedAndTheRunGoesOn) {
    test_support::TempDir other;
    SessionOptions options = Options();
    options.historyDir = other.File("a-file");
    std::FILE* file = std::fopen(options.historyDir.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EventLoop otherLoop;
    ConsoleSession blocked(options, otherLoop);
    blocked.AttachView(&view);
    PairConfig pair;
    pair.endpoint1 = "198.18.0.2";
    pair.endpoint2 = "198.18.0.3";
    blocked.Data().AddPair(pair);
    ASSERT_TRUE(blocked.Run().Start());
    ASSERT_EQ(view.notes.size(), 1u);
    EXPECT_EQ(view.notes[0].rfind("Cannot write the run's journal: " + options.historyDir, 0), 0u);
    EXPECT_EQ(blocked.Mode(), ConsoleMode::Measuring);
    blocked.Quit();
}

TEST_F(SessionRecordsTest, RecoverRunPutsAJournalledRunIntoTheDataOnlyWhileIdle) {
    ScriptPair(2, true);
    ASSERT_TRUE(RunToIdle());
    const std::string id = Runs().at(0).id;
    session.Data().ResetToNew();
    ASSERT_EQ(session.Data().table.PairCount(), 0);

    EXPECT_TRUE(session.RecoverRun(id));
    EXPECT_EQ(session.Data().table.PairCount(), 1);
    EXPECT_EQ(session.Data().ticks, 2);
    EXPECT_EQ(session.RecoverRun("20990101-000000-0001").Why(),
              "No run 20990101-000000-0001 in the history.");
    // Every run finished: nothing to recover without an id.
    EXPECT_EQ(session.RecoverRun(std::nullopt).Why(), "No unfinished run in the history.");

    ScriptPair(2, false);
    ASSERT_TRUE(session.Run().Start());
    EXPECT_EQ(session.RecoverRun(id).Why(), ConsoleSession::kRecoverNeedsIdle);
    EXPECT_EQ(session.Data().ticks, 0);  // the running table is left alone
}

TEST_F(SessionRecordsTest, TheReferenceGivesTheBaselineOfPairsWithTheSameAddresses) {
    ScriptPair(2, true);
    EXPECT_FALSE(session.Baseline().given);
    auto reference = std::make_unique<ConsoleData>();
    reference->table = session.Data().table;
    PairConfig other;
    other.endpoint1 = "198.18.0.8";
    other.endpoint2 = "198.18.0.9";
    session.Data().AddPair(other);
    session.SetReference(std::move(reference), "earlier");
    EXPECT_EQ(view.referenceChanges, 1);
    const BaselineAverages baseline = session.Baseline();
    EXPECT_TRUE(baseline.given);
    EXPECT_EQ(baseline.averages.size(), 1u);
    EXPECT_TRUE(baseline.averages.contains(session.Data().table[1].id));
    session.ClearReference();
    EXPECT_FALSE(session.Baseline().given);
    session.ClearReference();  // nothing left to clear: nothing to tell
    EXPECT_EQ(view.referenceChanges, 2);
}

TEST_F(SessionRecordsTest, MetricsAndJsonLinesGoWhereTheOptionsSay) {
    test_support::TempDir dir;
    SessionOptions options = Options();
    options.metricsAddress = "127.0.0.1:0";
    options.jsonlPath = dir.File("runs.jsonl");
    EventLoop otherLoop;
    ConsoleSession served(options, otherLoop);
    ASSERT_TRUE(served.ServeMetrics());
    EXPECT_GT(served.MetricsPort(), 0);
    ASSERT_TRUE(served.OpenJsonLines());
    EXPECT_TRUE(served.JsonLinesGood());

    options.metricsAddress = "not an address";
    options.jsonlPath = dir.File("missing/runs.jsonl");
    ConsoleSession refused(options, otherLoop);
    EXPECT_EQ(refused.ServeMetrics().Why(), "Cannot serve metrics on not an address");
    EXPECT_EQ(refused.OpenJsonLines().Why(),
              "Cannot create the JSON Lines file: " + options.jsonlPath);

    // Without an address or a path there is nothing to do and nothing fails.
    options.metricsAddress.clear();
    options.jsonlPath.clear();
    ConsoleSession plain(options, otherLoop);
    EXPECT_TRUE(plain.ServeMetrics());
    EXPECT_EQ(plain.MetricsPort(), 0);
    EXPECT_TRUE(plain.OpenJsonLines());
}

}  // namespace
}  // namespace quarn::console
