// Run records end to end: real EndPoints and iperf in network namespaces, a headless
// Console killed mid-run and recovered, and a real Prometheus scraping its metrics.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/core/console_data.h"
#include "console/files/config_file.h"
#include "console/records/journal_directory.h"
#include "console/records/journal_reader.h"
#include "console/records/json_value.h"
#include "console/records/run_history.h"
#include "console/records/run_records.h"
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

// Per second, the value of pair 1 as the --jsonl stream gave it; every line must parse.
std::map<int, double> JsonlSeconds(const std::string& path, int& lines) {
    std::map<int, double> seconds;
    lines = 0;
    for (const std::string& line : FileLines(path)) {
        ++lines;
        const std::optional<JsonValue> value = records::ParseJson(line);
        EXPECT_TRUE(value.has_value()) << line;
        if (!value)
            continue;
        if (const auto second = records::DecodeSecond(*value); second && second->pair == 1)
            seconds[second->second] = second->mbitPerS;
    }
    return seconds;
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

TEST_F(RecordsNetworkTest, AKilledConsoleIsRecoveredUpToItsLastSecond) {
    const std::string jsonl = files.File("run.jsonl");
    ConsoleProcess console = StartConsole(
        {"--pair", Address(2) + "," + Address(3) + ",2", "--duration", "120", "--jsonl", jsonl});
    ASSERT_TRUE(console.WaitForLine("tick 7 of", kRunTimeoutMs)) << console.Finish(0).Transcript();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(::kill(console.Pid(), SIGKILL), 0);
    console.Finish(5000);

    int lines = 0;
    const std::map<int, double> streamed = JsonlSeconds(jsonl, lines);
    ASSERT_GE(streamed.size(), 7u);
    const std::string dir = records::JournalDirectory();
    const auto unfinished = records::LatestUnfinished(dir);
    ASSERT_TRUE(unfinished.has_value()) << dir;
    const auto journal = records::ReadJournal(unfinished->path);
    ASSERT_TRUE(journal.has_value());
    EXPECT_FALSE(journal->Finished());
    // At most the second in hand at the kill is lost.
    EXPECT_GE(journal->seconds, static_cast<int>(streamed.size()) - 1);
    for (const auto& [second, value] : streamed) {
        if (second <= journal->seconds) {
            EXPECT_EQ(journal->values.at(1)[static_cast<std::size_t>(second - 1)],
                      static_cast<float>(value))
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
    ASSERT_EQ(opened.table.PairCount(), 1);
    EXPECT_EQ(opened.table[1].config.endpoint1, Address(2));
    EXPECT_EQ(opened.table[1].figures.statusText, "Stopped");
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
    const ConsoleResult run =
        RunConsole({"--pair", Address(2) + "," + Address(3), "--duration", "15", "--csv", csv,
                    "--jsonl", jsonl, "--metrics", kMetrics});
    ASSERT_EQ(run.exitCode, 0) << run.Transcript();

    const std::map<int, std::string> csvValues = CsvSeconds(csv);
    ASSERT_EQ(csvValues.size(), 15u);
    int lines = 0;
    const std::map<int, double> streamed = JsonlSeconds(jsonl, lines);
    EXPECT_EQ(lines, 1 + 15 + 1 + 1);
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
    // Scraped every second through a 15-second run: most seconds are seen.
    EXPECT_GE(compared, 8) << throughput.size() << " samples";
}

}  // namespace
}  // namespace quarn::e2e
