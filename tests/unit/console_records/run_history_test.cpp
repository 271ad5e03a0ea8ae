#include "console/records/run_history.h"

#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "console/records/journal_directory.h"
#include "console/records/journal_writer.h"
#include "console/records/session_records.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"

namespace quarn::console::records {
namespace {

class RunHistoryTest : public ::testing::Test {
  protected:
    // A run of `pairs` pairs journalled for `seconds` seconds, ended or left open (its
    // writer kept, as a Console still measuring keeps it).
    void AddRun(const std::string& id, int pairs, int seconds, bool end, PlanTags tags = {}) {
        auto run = std::make_unique<test::FedRun>(pairs);
        run->recorder.SetTags(tags);
        auto journal = std::make_unique<JournalWriter>();
        ASSERT_TRUE(journal->Open(JournalPath(dir.Path(), id)));
        run->recorder.AddSink(*journal);
        run->data.settings.durationText = "600";
        run->data.chart.BeginRun(pairs);
        run->ticks.BeginRun(std::chrono::seconds(600), false);
        run->recorder.Begin(run->data, id, run->clock);
        run->Feed(seconds + 2);
        if (end)
            run->End(false);
        else
            ASSERT_TRUE(journal->WaitWritten(std::chrono::seconds(10)));
        averages[id] = run->data.table.All().figures.average;
        runs.push_back(std::move(run));
        journals.push_back(std::move(journal));
    }

    test_support::TempDir dir;
    std::vector<std::unique_ptr<test::FedRun>> runs;
    std::vector<std::unique_ptr<JournalWriter>> journals;
    std::map<std::string, float> averages;
};

TEST_F(RunHistoryTest, ListsRunsOldestFirstWithWhatTheirJournalsTell) {
    AddRun("b-run", 3, 20, true);
    AddRun("a-run", 2, 15, false);
    journals.back().reset();  // its Console died
    std::filesystem::create_directory(dir.File("not-a-journal.jsonl.zst"));
    {
        std::ofstream(dir.File("junk.jsonl.zst")) << "junk";
        std::ofstream(dir.File("notes.txt")) << "x";
    }
    // Both runs started at the same simulated time: the id orders them.
    const std::vector<RunInfo> list = ListRuns(dir.Path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, "a-run");
    EXPECT_FALSE(list[0].finished);
    EXPECT_FALSE(list[0].running);
    EXPECT_EQ(list[0].pairs, 2);
    EXPECT_EQ(list[0].seconds, 15);
    EXPECT_NEAR(list[0].totalAverageMbitPerS, averages["a-run"], 0.01);
    EXPECT_EQ(list[1].id, "b-run");
    EXPECT_TRUE(list[1].finished);
    EXPECT_EQ(list[1].outcome, "stopped");
    EXPECT_EQ(list[1].seconds, 20);
    EXPECT_FLOAT_EQ(static_cast<float>(list[1].totalAverageMbitPerS), averages["b-run"]);
    EXPECT_GT(list[1].bytes, 0u);

    const std::string table = FormatRunList(list);
    EXPECT_NE(table.find("a-run"), std::string::npos);
    EXPECT_NE(table.find("unfinished"), std::string::npos);
    EXPECT_NE(table.find("0:00:20"), std::string::npos);
    EXPECT_EQ(FindRun(dir.Path(), "b-run")->seconds, 20);
    EXPECT_FALSE(FindRun(dir.Path(), "c-run").has_value());
    // An id never reaches outside the history.
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::copy_file(dir.File("b-run.jsonl.zst"), dir.File("sub/b-run.jsonl.zst"));
    EXPECT_FALSE(FindRun(dir.File("sub"), "../b-run").has_value());
    EXPECT_TRUE(FindRun(dir.File("sub"), "b-run").has_value());
    EXPECT_FALSE(FindRun(dir.Path(), "").has_value());
}

// A plan's steps are tagged in their heads after every key older readers know.
TEST_F(RunHistoryTest, PlanStepsAreListedWithTheirPlanAndStep) {
    AddRun("1-alone", 1, 3, true);
    AddRun("2-step", 2, 3, true, PlanTags{"Floor 3", "Jumbo frames", 2, 3});
    const std::vector<RunInfo> list = ListRuns(dir.Path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[0].tags.plan.empty());
    EXPECT_EQ(list[1].tags, (PlanTags{"Floor 3", "Jumbo frames", 2, 3}));
    const std::string table = FormatRunList(list);
    const std::size_t alone = table.find("1-alone");
    const std::size_t step = table.find("2-step");
    ASSERT_NE(step, std::string::npos);
    EXPECT_EQ(table.substr(alone, step - alone).find("plan"), std::string::npos) << table;
    EXPECT_NE(table.find("  plan Floor 3, step 2 Jumbo frames (repetition 3)\n", step),
              std::string::npos)
        << table;

    RunHead head;
    head.run = "r";
    const std::string plain = EncodeHead(head);
    EXPECT_EQ(plain.find("plan"), std::string::npos);
    head.tags = PlanTags{"Soak", "Night", 1, 24};
    const std::string tagged = EncodeHead(head);
    EXPECT_EQ(tagged.substr(0, plain.size() - 1), plain.substr(0, plain.size() - 1));
    EXPECT_TRUE(tagged.ends_with(
        R"(,"plan":"Soak","plan_step":"Night","plan_step_number":1,"plan_repetition":24})"))
        << tagged;
    EXPECT_EQ(DecodeHead(*ParseJson(tagged))->tags, head.tags);
}

TEST_F(RunHistoryTest, ARunStillBeingWrittenIsNeitherRecoveredNorDeleted) {
    AddRun("1-old-dead", 1, 5, false);
    journals.back().reset();
    AddRun("2-newer-dead", 1, 5, false);
    journals.back().reset();
    AddRun("3-live", 1, 5, false);
    const std::vector<RunInfo> list = ListRuns(dir.Path());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(list[2].running);
    EXPECT_FALSE(list[1].running);
    EXPECT_EQ(LatestUnfinished(dir.Path())->id, "2-newer-dead");

    // A limit of nothing deletes all it may: the live run stays.
    const std::vector<std::string> deleted = CapHistory(dir.Path(), 0);
    EXPECT_EQ(deleted, (std::vector<std::string>{"1-old-dead", "2-newer-dead"}));
    ASSERT_EQ(ListRuns(dir.Path()).size(), 1u);
    EXPECT_FALSE(LatestUnfinished(dir.Path()).has_value());
}

TEST_F(RunHistoryTest, CappingDeletesTheOldestUntilTheHistoryFits) {
    for (const char* id : {"r1", "r2", "r3", "r4"})
        AddRun(id, 2, 30, true);
    const std::vector<RunInfo> list = ListRuns(dir.Path());
    std::uintmax_t total = 0;
    for (const RunInfo& run : list)
        total += run.bytes;
    // Room for a little more than two runs: the two oldest go, unless kept.
    const std::uintmax_t limit = total - list[0].bytes - list[1].bytes + 1;
    EXPECT_EQ(CapHistory(dir.Path(), limit, "r1"), (std::vector<std::string>{"r2", "r3"}));
    EXPECT_EQ(CapHistory(dir.Path(), limit), (std::vector<std::string>{}));
    EXPECT_EQ(CapHistory(dir.Path(), 1), (std::vector<std::string>{"r1", "r4"}));
}

TEST(RunHistorySizes, ParsesSizesWithTheirUnits) {
    EXPECT_EQ(ParseSize("2G"), 2ULL << 30);
    EXPECT_EQ(ParseSize("500M"), 500ULL << 20);
    EXPECT_EQ(ParseSize("64k"), 64ULL << 10);
    EXPECT_EQ(ParseSize("123"), 123u);
    for (const char* bad : {"", "G", "-1", "1.5G", "2GB", "99999999999999999999G"})
        EXPECT_FALSE(ParseSize(bad).has_value()) << bad;
}

TEST(SessionRecordsTest, JournalsEachRunInTheHistoryAndEndsItWithItsOutcome) {
    test_support::TempDir dir;
    const std::string history = dir.File("state/quarn/runs");
    SessionRecords recording(history);
    test::FedRun run(2);
    run.Begin(10);  // sets the run up; its own recorder has no sink
    EXPECT_TRUE(recording.Begin(run.data).Ok());
    run.Feed(3);
    for (int i = 0; i < 3; ++i)
        recording.Second(run.data);
    EXPECT_EQ(recording.End(run.data, true), "");  // a fast disk never held the run up
    const std::vector<RunInfo> list = ListRuns(history);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, recording.RunId());
    EXPECT_EQ(list[0].outcome, "quit");
    EXPECT_EQ(list[0].pairs, 2);

    SessionRecords nowhere(dir.File("file/inside"));
    std::ofstream(dir.File("file")) << "x";
    EXPECT_FALSE(nowhere.Begin(run.data).Ok());
}

TEST(SessionRecordsTest, WaitsForTheDiskAreCountedInTheNote) {
    EXPECT_EQ(JournalWaitNote(0), "");
    EXPECT_EQ(JournalWaitNote(1),
              "The run waited 1 time for the disk while its journal was written.");
    EXPECT_EQ(JournalWaitNote(12),
              "The run waited 12 times for the disk while its journal was written.");
}

}  // namespace
}  // namespace quarn::console::records
