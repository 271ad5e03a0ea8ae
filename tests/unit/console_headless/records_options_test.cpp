#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "console/files/config_file.h"
#include "console/headless/headless_console.h"
#include "console/headless/headless_options.h"
#include "console/records/journal_directory.h"
#include "console/records/journal_writer.h"
#include "console/records/record_source.h"
#include "tests/support/temp_dir.h"

namespace quarn::console {
namespace {

Result<HeadlessOptions> ParseArgs(std::vector<std::string> args) {
    args.insert(args.begin(), "Quarn_Console");
    return ParseHeadlessOptions(args);
}

TEST(RecordsOptions, ReadsTheHistoryAndStreamOptions) {
    Result<HeadlessOptions> r = ParseArgs({"--runs", "--jsonl", "-", "--history-limit", "500M"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    EXPECT_TRUE(r->listRuns);
    EXPECT_EQ(r->jsonlPath, "-");
    EXPECT_EQ(r->historyLimit, 500ULL << 20);
    EXPECT_FALSE(r->recover);
    EXPECT_EQ(ParseArgs({})->historyLimit, 2ULL << 30);

    // The id of --recover is optional: an option after it is not taken for one.
    r = ParseArgs({"--recover", "--no-run", "--save", "x.config"});
    ASSERT_TRUE(r.Ok()) << r.Why();
    EXPECT_TRUE(r->recover);
    EXPECT_FALSE(r->recoverId.has_value());
    EXPECT_TRUE(r->noRun);
    r = ParseArgs({"--recover", "20261209-014639-3fa2", "--no-run"});
    EXPECT_EQ(r->recoverId, "20261209-014639-3fa2");
    EXPECT_TRUE(r->noRun);
    r = ParseArgs({"--recover=abc"});
    EXPECT_EQ(r->recoverId, "abc");
    r = ParseArgs({"--recover"});
    EXPECT_TRUE(r->recover);
    EXPECT_FALSE(r->recoverId.has_value());

    EXPECT_FALSE(ParseArgs({"--history-limit", "lots"}).Ok());
    EXPECT_FALSE(ParseArgs({"--history-limit", "5T"}).Ok());
    EXPECT_FALSE(ParseArgs({"--jsonl"}).Ok());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The whitespace-separated cells of the first line of `text` holding `key`.
std::vector<std::string> RowCells(const std::string& text, const std::string& key) {
    const auto at = text.find(key);
    if (at == std::string::npos)
        return {};
    const auto begin = text.rfind('\n', at) + 1;
    std::istringstream line(text.substr(begin, text.find('\n', at) - begin));
    std::vector<std::string> cells;
    for (std::string cell; line >> cell;)
        cells.push_back(cell);
    return cells;
}

// A headless Console with the history in a directory of its own.
class HeadlessRecordsTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_STATE_HOME"); }

    // Writes a journal of two pairs that stopped being written after `seconds` seconds.
    std::string WriteUnfinishedRun(const std::string& id, int seconds) {
        ConsoleData data;
        for (int pair = 1; pair <= 2; ++pair) {
            PairRecord record;
            record.config.endpoint1 = "198.18.1." + std::to_string(pair);
            record.config.endpoint2 = "198.18.2." + std::to_string(pair);
            data.table.AppendPair(std::move(record));
        }
        const std::string dir = records::JournalDirectory();
        EXPECT_TRUE(records::MakeJournalDirectory(dir));
        records::JournalWriter journal;
        EXPECT_TRUE(journal.Open(records::JournalPath(dir, id)));
        records::RecordSource recorder;
        recorder.AddSink(journal);
        const auto start = std::chrono::system_clock::now() - std::chrono::hours(1);
        recorder.Begin(data, id, start);
        for (int tick = 1; tick <= seconds; ++tick) {
            data.ticks = tick;
            data.table[1].figures.current = 100.0f + static_cast<float>(tick);
            data.table[2].figures.current = 50.0f;
            recorder.Second(data, start + std::chrono::seconds(tick));
        }
        return id;
    }

    int Headless(std::vector<std::string> args) {
        const Result<HeadlessOptions> parsed = ParseArgs(std::move(args));
        EXPECT_TRUE(parsed.Ok()) << parsed.Why();
        std::FILE* out = std::fopen(state.File("out.txt").c_str(), "w");
        std::FILE* err = std::fopen(state.File("err.txt").c_str(), "w");
        HeadlessEnvironment env;
        env.reportCharts = reportCharts;
        env.out = out;
        env.err = err;
        const int status = RunHeadlessConsole(*parsed, env);
        std::fclose(out);
        std::fclose(err);
        output = ReadText(state.File("out.txt"));
        errors = ReadText(state.File("err.txt"));
        return status;
    }

    test_support::TempDir state;
    std::function<std::vector<records::ReportChart>(const ConsoleData&)> reportCharts;
    std::string output;
    std::string errors;
};

TEST_F(HeadlessRecordsTest, ListsTheHistoryAndRecoversTheLatestUnfinishedRunIntoAFile) {
    WriteUnfinishedRun("20261209-010000-0001", 12);
    WriteUnfinishedRun("20261209-020000-0002", 30);
    EXPECT_EQ(Headless({"--runs"}), 0) << errors;
    EXPECT_NE(output.find("20261209-010000-0001"), std::string::npos) << output;
    EXPECT_NE(output.find("20261209-020000-0002"), std::string::npos) << output;
    EXPECT_NE(output.find("unfinished"), std::string::npos) << output;
    EXPECT_NE(output.find("0:00:30"), std::string::npos) << output;

    const std::string saved = state.File("recovered.config");
    EXPECT_EQ(Headless({"--recover", "--no-run", "--save", saved}), 0) << errors;
    EXPECT_NE(output.find("Saved"), std::string::npos) << output;
    ConsoleData opened;
    ASSERT_EQ(ReadConfigFile(saved, opened, [&] { opened.ResetToNew(); }), ConfigResult::Done);
    EXPECT_EQ(opened.ticks, 30);
    ASSERT_EQ(opened.table.PairCount(), 2);
    EXPECT_EQ(opened.table[1].config.endpoint2, "198.18.2.1");
    EXPECT_EQ(opened.table[1].figures.maxText, "130.00");
    EXPECT_EQ(opened.table[2].figures.averageText, "50.00");
    EXPECT_EQ(opened.table[1].figures.state, PairState::Stopped);
    EXPECT_EQ(opened.chart.Series().size(), 3u);

    // The older one by its id.
    EXPECT_EQ(Headless({"--recover", "20261209-010000-0001", "--no-run"}), 0) << errors;
    EXPECT_NE(output.find("112.00"), std::string::npos) << output;
    EXPECT_EQ(Headless({"--recover", "nosuchrun", "--no-run"}), 1);
    EXPECT_NE(errors.find("No run nosuchrun"), std::string::npos) << errors;
}

TEST_F(HeadlessRecordsTest, AnEmptyHistoryHasNothingToRecover) {
    EXPECT_EQ(Headless({"--runs"}), 0);
    EXPECT_NE(output.find("No runs"), std::string::npos) << output;
    EXPECT_EQ(Headless({"--recover", "--no-run"}), 1);
    EXPECT_NE(errors.find("No unfinished run"), std::string::npos) << errors;
}

TEST_F(HeadlessRecordsTest, ComparesWithASavedFileOrAHistoryRunPairByPair) {
    WriteUnfinishedRun("20261209-010000-0001", 30);
    WriteUnfinishedRun("20261209-020000-0002", 12);
    const std::string current = state.File("current.config");
    const std::string reference = state.File("reference.config");
    ASSERT_EQ(Headless({"--recover", "20261209-010000-0001", "--no-run", "--save", current}), 0);
    ASSERT_EQ(Headless({"--recover", "20261209-020000-0002", "--no-run", "--save", reference}), 0);

    for (const std::string& what : {reference, std::string("20261209-020000-0002")}) {
        SCOPED_TRACE(what);
        ASSERT_EQ(Headless({"--open", current, "--no-run", "--compare", what}), 0) << errors;
        // Both tables: 30 and 12 seconds counted.
        const auto currentAt = output.find("Current");
        const auto referenceAt = output.find("Reference " + what);
        const auto differenceAt = output.find("Difference");
        ASSERT_NE(currentAt, std::string::npos) << output;
        ASSERT_NE(referenceAt, std::string::npos) << output;
        ASSERT_NE(differenceAt, std::string::npos) << output;
        EXPECT_LT(currentAt, referenceAt);
        EXPECT_LT(referenceAt, differenceAt);
        EXPECT_NE(output.find("115.50"), std::string::npos) << output;
        EXPECT_NE(output.find("106.50"), std::string::npos) << output;
        const std::string differences = output.substr(differenceAt);
        // Pair 1: average 115.50 against 106.50, maximum 130 against 112, same minimum.
        EXPECT_EQ(RowCells(differences, "198.18.2.1"),
                  (std::vector<std::string>{"Pair1", "198.18.1.1", "->", "198.18.2.1", "+8.45%",
                                            "+0.00%", "+16.07%"}));
        // Pair 2 sent 50 Mbit/s both times.
        EXPECT_EQ(RowCells(differences, "198.18.2.2").at(4), "+0.00%");
        // The All row: 165.50 against 156.50; totals 151..180 against 151..162.
        EXPECT_EQ(RowCells(differences, "All"),
                  (std::vector<std::string>{"All", "+5.75%", "+0.00%", "+11.11%"}));
    }

    // A reference that cannot be read fails before anything else happens.
    EXPECT_EQ(Headless({"--open", current, "--no-run", "--compare", state.File("no.config")}), 1);
    EXPECT_NE(errors.find("Cannot open the file"), std::string::npos) << errors;
    EXPECT_EQ(Headless({"--open", current, "--no-run", "--compare", "nosuchrun"}), 1);
    EXPECT_NE(errors.find("No run nosuchrun"), std::string::npos) << errors;
    EXPECT_EQ(output.find("Current"), std::string::npos) << output;
}

TEST_F(HeadlessRecordsTest, WritesAReportWithTheTableAndTheChartItIsGiven) {
    WriteUnfinishedRun("20261209-010000-0001", 30);
    int drawnPairs = -1;
    reportCharts = [&](const ConsoleData& data) {
        drawnPairs = data.table.PairCount();
        return std::vector<records::ReportChart>{{"Throughput", "\x89PNG-chart", ""},
                                                 {"Loss", "", "TCP runs measure no loss."}};
    };
    const std::string report = state.File("run.html");
    ASSERT_EQ(Headless({"--recover", "20261209-010000-0001", "--no-run", "--report", report}), 0)
        << errors;
    EXPECT_EQ(drawnPairs, 2);
    const std::string html = ReadText(report);
    EXPECT_NE(html.find("data:image/png;base64,iVBORy1jaGFydA=="), std::string::npos);
    EXPECT_NE(html.find("<h3>Loss</h3>\n<p>TCP runs measure no loss.</p>"), std::string::npos);
    for (const char* text : {"198.18.1.1", "198.18.2.2", "115.50", "Seconds counted"})
        EXPECT_NE(html.find(text), std::string::npos) << text;

    EXPECT_EQ(Headless({"--recover", "20261209-010000-0001", "--no-run", "--report",
                        state.File("missing/run.html")}),
              1);
    EXPECT_NE(errors.find("Cannot write the report"), std::string::npos) << errors;
}

}  // namespace
}  // namespace quarn::console
