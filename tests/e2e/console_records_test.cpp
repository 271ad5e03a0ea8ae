// Run records end to end: real EndPoints and iperf in network namespaces, a headless
// Console killed mid-run and recovered, and a real Prometheus scraping its metrics.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
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
#include "console/records/json_value.h"
#include "console/records/record_format.h"
#include "console/records/run_history.h"
#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"

namespace quarn::e2e {
namespace {

namespace records = console::records;
using records::JsonValue;

std::vector<std::string> FileLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines of a file cut at any byte: a last line without its line end is left out.
std::vector<std::string> CompleteLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> lines;
    for (std::size_t begin = 0, end; (end = text.find('\n', begin)) != std::string::npos;
         begin = end + 1)
        lines.push_back(text.substr(begin, end - begin));
    return lines;
}

// Per pair and second, the value as the --jsonl stream gave it; every line must parse.
using StreamedSeconds = std::map<long long, std::map<int, double>>;
StreamedSeconds JsonlPairSeconds(const std::vector<std::string>& lines) {
    StreamedSeconds seconds;
    for (const std::string& line : lines) {
        const std::optional<JsonValue> value = records::ParseJson(line);
        EXPECT_TRUE(value.has_value()) << line;
        if (!value)
            continue;
        if (const auto second = records::DecodeSecond(*value))
            seconds[second->pair][second->second] = second->mbitPerS;
    }
    return seconds;
}

// Per second, the value of pair 1 as the --jsonl stream gave it; every line must parse.
std::map<int, double> JsonlSeconds(const std::string& path, int& lines) {
    const std::vector<std::string> all = FileLines(path);
    lines = static_cast<int>(all.size());
    StreamedSeconds seconds = JsonlPairSeconds(all);
    return seconds[1];
}

// The last second every one of `pairs` pairs reached in the stream.
int CompleteSeconds(const StreamedSeconds& streamed, int pairs) {
    int complete = -1;
    for (long long pair = 1; pair <= pairs; ++pair) {
        const auto it = streamed.find(pair);
        const int last =
            it == streamed.end() || it->second.empty() ? 0 : it->second.rbegin()->first;
        complete = complete < 0 ? last : std::min(complete, last);
    }
    return std::max(complete, 0);
}

// Per tick, pair 1's value as the CSV has it ("tick,Pair1,All").
std::map<int, std::string> CsvSeconds(const std::string& path) {
    std::map<int, std::string> values;
    for (const std::string& line : FileLines(path)) {
        std::istringstream fields(line);
        std::string tick;
        std::string value;
        if (std::getline(fields, tick, ',') && std::getline(fields, value, ',') && tick != "tick")
            values[std::stoi(tick)] = value;
    }
    return values;
}

std::string Fixed2(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The run history in a directory of the test's own, for the Consoles it starts.
class RecordsNetworkTest : public EndPointNetworkTest {
  protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
        EndPointNetworkTest::SetUp();
    }
    test_support::TempDir state;
    test_support::TempDir files;
};

// Sixteen low-rate UDP pairs between the two EndPoints, both ways, so two busy cores keep
// up; the Console is killed at a random moment a few seconds into the run.
TEST_F(RecordsNetworkTest, AKilledConsoleIsRecoveredUpToItsLastSecond) {
    constexpr int kPairs = console::PairTable::kMaxPairs;
    std::random_device random;
    const int killAfter = std::uniform_int_distribution<int>(4, 7)(random);
    const int extraMs = std::uniform_int_distribution<int>(0, 999)(random);
    SCOPED_TRACE("killed " + std::to_string(extraMs) + " ms after second " +
                 std::to_string(killAfter));
    const std::string jsonl = files.File("run.jsonl");
    std::vector<std::string> args = {"--udp", "--throughput", "1",  "--duration",
                                     "120",   "--jsonl",      jsonl};
    for (int pair = 1; pair <= kPairs; ++pair) {
        const bool back = pair % 2 == 0;
        args.insert(args.end(), {"--pair", Address(back ? 3 : 2) + "," + Address(back ? 2 : 3)});
    }
    ConsoleProcess console = StartConsole(args);
    ASSERT_TRUE(console.WaitForLine("tick " + std::to_string(killAfter) + " of", kRunTimeoutMs))
        << console.Finish(0).Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(extraMs));
    ASSERT_EQ(::kill(console.Pid(), SIGKILL), 0);
    console.Finish(5000);

    const StreamedSeconds streamed = JsonlPairSeconds(CompleteLines(jsonl));
    const int complete = CompleteSeconds(streamed, kPairs);
    ASSERT_GE(complete, killAfter);
    const std::string dir = records::JournalDirectory();
    const auto unfinished = records::LatestUnfinished(dir);
    ASSERT_TRUE(unfinished.has_value()) << dir;
    const auto journal = records::ReadJournal(unfinished->path);
    ASSERT_TRUE(journal.has_value());
    EXPECT_FALSE(journal->Finished());
    ASSERT_EQ(journal->head.pairs.size(), static_cast<std::size_t>(kPairs));
    std::printf("killed %d ms after second %d: %d complete seconds streamed, %d journalled\n",
                extraMs, killAfter, complete, journal->seconds);
    // At most the second in hand at the kill is lost, and never more than was streamed.
    EXPECT_GE(journal->seconds, complete - 1);
    EXPECT_LE(journal->seconds, complete + 1);
    for (long long pair = 1; pair <= kPairs; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        const std::vector<float>& values = journal->values.at(pair);
        ASSERT_EQ(values.size(), static_cast<std::size_t>(journal->seconds));
        // The pair measured: its 1 Mbit/s shows in the journal.
        EXPECT_GT(values.empty() ? 0.0f : *std::max_element(values.begin(), values.end()), 0.5f);
        const std::map<int, double>& sent = streamed.at(pair);
        for (int second = 1; second <= std::min(journal->seconds, complete); ++second) {
            ASSERT_TRUE(sent.count(second)) << second;
            EXPECT_EQ(values[static_cast<std::size_t>(second - 1)],
                      static_cast<float>(sent.at(second)))
                << second;
        }
    }

    const std::string saved = files.File("recovered.config");
    const ConsoleResult recovered = RunConsole({"--recover", "--no-run", "--save", saved}, 20000);
    ASSERT_EQ(recovered.exitCode, 0) << recovered.Transcript();
    console::ConsoleData opened;
    ASSERT_EQ(console::ReadConfigFile(saved, opened, [&] { opened.ResetToNew(); }),
              console::ConfigResult::Done);
    EXPECT_EQ(opened.ticks, journal->seconds);
    ASSERT_EQ(opened.table.PairCount(), kPairs);
    for (int row = 1; row <= kPairs; ++row) {
        EXPECT_EQ(opened.table[row].config.endpoint1, Address(row % 2 == 0 ? 3 : 2)) << row;
        EXPECT_EQ(opened.table[row].figures.statusText, "Stopped") << row;
    }
    EXPECT_EQ(opened.settings.protocol, console::Protocol::Udp);
    // Recovering keeps the journal in the history, still unfinished.
    const ConsoleResult listed = RunConsole({"--runs"}, 20000);
    bool found = false;
    for (const std::string& line : listed.lines)
        found = found || (line.rfind(unfinished->id, 0) == 0 &&
                          line.find("unfinished") != std::string::npos);
    EXPECT_TRUE(found) << listed.Transcript();
}

// A Prometheus of its own in the Console's host, on that host's loopback.
class PrometheusTest : public RecordsNetworkTest {
  protected:
    static constexpr const char* kPrometheus = "127.0.0.1:19090";
    static constexpr const char* kMetrics = "127.0.0.1:19464";

    void StartPrometheus() {
        std::ofstream(files.File("prometheus.yml"))
            << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
               "scrape_configs:\n  - job_name: quarn\n    static_configs:\n"
               "      - targets: ['"
            << kMetrics << "']\n";
        prometheus_ = Network().Spawn(
            kConsoleHost, {"prometheus", "--config.file=" + files.File("prometheus.yml"),
                           "--storage.tsdb.path=" + files.File("tsdb"),
                           std::string("--web.listen-address=") + kPrometheus});
    }

    // GET on the Prometheus API from inside the host; the body.
    std::string Get(const std::string& pathAndQuery) {
        const std::string script =
            "import sys, urllib.request\n"
            "sys.stdout.write(urllib.request.urlopen(sys.argv[1], timeout=5).read().decode())\n";
        const test_support::CommandResult result = Network().Run(
            kConsoleHost,
            {"python3", "-c", script, std::string("http://") + kPrometheus + pathAndQuery}, {},
            10000);
        return result.exitCode == 0 ? result.output : std::string();
    }

    bool WaitReady() {
        for (int attempt = 0; attempt < 60; ++attempt) {
            if (Get("/-/ready").find("Ready") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        return false;
    }

    // Every sample of a series over the last 10 minutes: timestamp -> value.
    std::map<double, double> Samples(const std::string& metric) {
        const std::string body = Get("/api/v1/query?query=" + metric + "%5B10m%5D");
        std::map<double, double> samples;
        const auto json = records::ParseJson(body);
        const JsonValue* data = json ? json->Find("data") : nullptr;
        const JsonValue* result = data ? data->Find("result") : nullptr;
        if (result == nullptr || result->items.size() != 1) {
            ADD_FAILURE() << metric << ": " << body;
            return samples;
        }
        for (const JsonValue& pair : result->items[0].Find("values")->items)
            samples[pair.items[0].number] = std::stod(pair.items[1].text);
        return samples;
    }

    test_support::RunningProgram prometheus_;
};

TEST_F(PrometheusTest, ScrapedThroughputMatchesTheCsvSecondBySecond) {
    if (std::system("command -v prometheus >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "prometheus is not installed (scripts/setup.sh installs it)";
    StartPrometheus();
    ASSERT_TRUE(WaitReady());
    const std::string csv = files.File("run.csv");
    const std::string jsonl = files.File("run.jsonl");
    constexpr int kSeconds = 10;
    const ConsoleResult run =
        RunConsole({"--pair", Address(2) + "," + Address(3), "--duration", std::to_string(kSeconds),
                    "--csv", csv, "--jsonl", jsonl, "--metrics", kMetrics});
    ASSERT_EQ(run.exitCode, 0) << run.Transcript();

    const std::map<int, std::string> csvValues = CsvSeconds(csv);
    ASSERT_EQ(csvValues.size(), static_cast<std::size_t>(kSeconds));
    int lines = 0;
    const std::map<int, double> streamed = JsonlSeconds(jsonl, lines);
    EXPECT_EQ(lines, 1 + kSeconds + 1 + 1);
    for (const auto& [second, value] : streamed)
        EXPECT_EQ(Fixed2(value), csvValues.at(second)) << second;

    const std::string labels = "%7Bpair%3D%221%22%7D";
    const auto throughput = Samples("quarn_pair_throughput_bytes_per_second" + labels);
    const auto counted = Samples("quarn_pair_seconds_counted_total" + labels);
    int compared = 0;
    for (const auto& [time, bytes] : throughput) {
        const auto second = counted.find(time);
        if (second == counted.end() || second->second < 1)
            continue;
        const int tick = static_cast<int>(second->second);
        ASSERT_TRUE(csvValues.count(tick)) << tick;
        EXPECT_EQ(Fixed2(bytes / 125000.0), csvValues.at(tick)) << "second " << tick;
        ++compared;
    }
    // Scraped every second through the run: most seconds are seen.
    EXPECT_GE(compared, kSeconds * 6 / 10) << throughput.size() << " samples";
}

}  // namespace
}  // namespace quarn::e2e
