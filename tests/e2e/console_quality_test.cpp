#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/older_endpoint.h"
#include "tests/e2e/run_expectations.h"

namespace quarn::e2e {
namespace {

// The shaped-link figures (loss against iperf's own, latency under load) need this long.
constexpr int kQualitySeconds = 8;
const std::string kQualityDurationText = std::to_string(kQualitySeconds);
// Round trips alone: the idle ones and some under load.
constexpr int kRoundTripSeconds = 4;

// The words of a pair's row after its five throughput figures: the quality columns.
std::vector<std::string> QualityCells(const ConsoleResult& run, const std::string& pair) {
    for (const std::string& line : run.lines) {
        std::istringstream words(line);
        std::vector<std::string> all;
        for (std::string word; words >> word;) {
            all.push_back(word);
        }
        if (all.empty() || all[0] != pair) {
            continue;
        }
        for (std::size_t i = 1; i < all.size(); ++i) {
            if (all[i] == "Done" || all[i] == "Stopped" || all[i] == "Error") {
                return {all.begin() + static_cast<std::ptrdiff_t>(std::min(i + 6, all.size())),
                        all.end()};
            }
        }
    }
    return {};
}

std::optional<double> NumberIn(const std::vector<std::string>& cells, std::size_t index) {
    if (index >= cells.size()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(cells[index].c_str(), &end);
    return end != cells[index].c_str() && *end == '\0' ? std::optional<double>(value)
                                                       : std::nullopt;
}

// The last "lost/ total (P%)" figure of iperf's output: the run's total. Parsed by hand,
// as std::regex trips GCC's uninitialised-use warnings in the sanitizer builds.
std::optional<double> LastLossPercent(const std::string& output) {
    std::optional<double> loss;
    for (std::size_t close = output.find("%)"); close != std::string::npos;
         close = output.find("%)", close + 2)) {
        const std::size_t open = output.rfind('(', close);
        const std::size_t slash = output.rfind('/', open);
        if (open == std::string::npos || open == 0 || output[open - 1] != ' ' ||
            slash == std::string::npos || output.find('\n', slash) < open)
            continue;
        char* end = nullptr;
        const double value = std::strtod(output.c_str() + open + 1, &end);
        if (end == output.c_str() + close && std::isfinite(value))
            loss = value;
    }
    return loss;
}

class ConsoleQualityTest : public EndPointNetworkTest {
  protected:
    // Shapes the bridge's port towards host 3: what reaches End Point 2 queues there.
    void ShapeTowardsHost3(const std::string& qdisc) {
        std::vector<std::string> argv = {"ip", "netns", "exec",    Network().SwitchNamespace(),
                                         "tc", "qdisc", "replace", "dev",
                                         "h3", "root"};
        std::istringstream words(qdisc);
        for (std::string word; words >> word;) {
            argv.push_back(word);
        }
        const test_support::CommandResult result = test_support::RunCommand(argv);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }

    ConsoleResult Run(const std::vector<std::string>& options) {
        std::vector<std::string> args = {"--pair", Address(kConsoleHost) + "," + Address(3),
                                         "--duration", kQualityDurationText};
        args.insert(args.end(), options.begin(), options.end());
        return RunConsole(args);
    }

    // iperf's own loss over a whole run of the same offer, from its final server report.
    std::optional<double> IperfOwnLoss() {
        const std::string port = "5999";
        test_support::RunningProgram server =
            Network().Spawn(3, {"iperf", "-s", "-u", "-p", port, "-f", "m"});
        Network().Run(1, {"sleep", "0.5"});
        const test_support::CommandResult client =
            Network().Run(1,
                          {"iperf", "-c", Address(3), "-u", "-b", "300m", "-t",
                           kQualityDurationText, "-p", port, "-f", "m"},
                          {}, 30000);
        return LastLossPercent(client.output);
    }
};

// 300 Mbit/s offered into a link shaped to 100 Mbit/s at the bridge: about two thirds are
// lost, as iperf itself reports for such a run, and the throughput is near 100.
TEST_F(ConsoleQualityTest, UdpLossThroughAShapedBridgeMatchesIperfsOwnReport) {
    ShapeTowardsHost3("tbf rate 100mbit burst 64kbit latency 20ms");
    const ConsoleResult run = Run({"--udp", "--throughput", "300"});
    ExpectCompletedRun(run, kQualitySeconds);
    const std::optional<RowFigures> pair = FindRow(run.lines, "Pair1");
    ASSERT_TRUE(pair) << run.Transcript();
    EXPECT_NEAR(pair->average, 100.0, 15.0) << run.Transcript();
    const std::vector<std::string> cells = QualityCells(run, "Pair1");
    const std::optional<double> loss = NumberIn(cells, 0);
    ASSERT_TRUE(loss) << run.Transcript();

    const std::optional<double> iperfLoss = IperfOwnLoss();
    ASSERT_TRUE(iperfLoss);
    EXPECT_NEAR(*loss, *iperfLoss, 1.0) << run.Transcript();
    EXPECT_NEAR(*loss, 66.7, 10.0) << run.Transcript();
    // Both RTT figures exist: End Point 2 answered its probes.
    EXPECT_TRUE(NumberIn(cells, 2) && NumberIn(cells, 3)) << run.Transcript();
}

// A TCP pair fills the shaper's queue: a deep one adds tens of milliseconds to every round
// trip through it, a shallow one little.
TEST_F(ConsoleQualityTest, DeepQueueAddsLatencyUnderLoadAndAShallowOneLittle) {
    // A loss-based congestion control fills whatever queue there is, as Debian's default
    // does; a delay-based one (BBR, where a machine defaults to it) keeps queues short.
    // Reno, because a namespace may only choose among the allowed ones.
    const test_support::CommandResult reno =
        Network().Run(kConsoleHost, {"sysctl", "-w", "net.ipv4.tcp_congestion_control=reno"});
    ASSERT_EQ(reno.exitCode, 0) << reno.output;
    const auto increase = [&](const std::string& latency) -> std::optional<double> {
        ShapeTowardsHost3("tbf rate 50mbit burst 32kbit latency " + latency);
        // A window big enough to fill the deep queue (2.5 MB at 50 Mbit/s and 400 ms).
        const ConsoleResult run = Run({"--window", "5"});
        ExpectCompletedRun(run, kQualitySeconds);
        const std::vector<std::string> cells = QualityCells(run, "Pair1");
        const std::optional<double> idle = NumberIn(cells, 0);
        const std::optional<double> loaded = NumberIn(cells, 1);
        EXPECT_TRUE(idle && loaded) << run.Transcript();
        if (!idle || !loaded) {
            return std::nullopt;
        }
        return *loaded - *idle;
    };
    const std::optional<double> deep = increase("400ms");
    const std::optional<double> shallow = increase("5ms");
    ASSERT_TRUE(deep && shallow);
    EXPECT_GE(*deep, 20.0);
    EXPECT_LT(*shallow, *deep / 2);
    EXPECT_LT(*shallow, 15.0);
}

// End Point 2 is an EndPoint of the older protocol: it receives only what it always did
// (probes, one server request, "restart") and its probe replies still give the pair its
// round trips.
TEST_F(ConsoleQualityTest, OlderEndPointTwoStillGivesRoundTrips) {
    KillEndPoint(3);
    OlderEndPoint older(Network(), 3, "Old Rack");
    ASSERT_TRUE(older.Listening());
    const ConsoleResult run = RunConsole(
        {"--pair", Address(2) + "," + Address(3), "--duration", std::to_string(kRoundTripSeconds)});
    ExpectCompletedRun(run, kRoundTripSeconds);
    const std::vector<std::string> cells = QualityCells(run, "Pair1");
    const std::optional<double> idle = NumberIn(cells, 0);
    const std::optional<double> loaded = NumberIn(cells, 1);
    ASSERT_TRUE(idle && loaded) << run.Transcript();
    EXPECT_GT(*idle, 0.0);
    EXPECT_LT(*loaded, 1000.0);
    EXPECT_EQ(older.ServerRequests(), 1);
    EXPECT_GE(older.Probes(), kRoundTripSeconds);
    EXPECT_EQ(older.Others(), 0);
}

}  // namespace
}  // namespace quarn::e2e
