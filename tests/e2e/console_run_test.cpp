#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/namespace_processes.h"
#include "tests/e2e/run_expectations.h"

namespace quarn::e2e {
namespace {

// Long enough for every second to be counted and the pairs to end together.
constexpr int kDuration = 4;
const std::string kDurationText = std::to_string(kDuration);
// Runs that must not end by themselves before the fault under test ends them.
constexpr int kFaultedDuration = 10;
const std::string kFaultedDurationText = std::to_string(kFaultedDuration);

std::string PairOption(const std::string& endPoint1, const std::string& endPoint2,
                       int streams = 1) {
    std::string text = endPoint1 + "," + endPoint2;
    return streams > 1 ? text + "," + std::to_string(streams) : text;
}

using ConsoleRunTest = EndPointNetworkTest;

TEST_F(ConsoleRunTest, SearchListsBothEndPointsWithTheirNames) {
    const ConsoleResult search = RunConsole({"--search"}, 20000);
    EXPECT_EQ(search.exitCode, 0) << search.Transcript();
    const auto listed =
        std::count_if(search.lines.begin(), search.lines.end(),
                      [](const std::string& line) { return line.rfind("198.18.", 0) == 0; });
    EXPECT_EQ(listed, 2) << search.Transcript();
    for (int host : {2, 3}) {
        const std::string name = EndPointName(host);
        const bool found =
            std::any_of(search.lines.begin(), search.lines.end(), [&](const std::string& line) {
                return line.rfind(Address(host) + " ", 0) == 0 && line.size() >= name.size() &&
                       line.compare(line.size() - name.size(), name.size(), name) == 0;
            });
        EXPECT_TRUE(found) << Address(host) << " " << name << "\n" << search.Transcript();
    }
}

TEST_F(ConsoleRunTest, LocalPairAndFourStreamPairCompleteTogether) {
    ConsoleProcess console =
        StartConsole({"--pair", PairOption(Address(kConsoleHost), Address(3)), "--pair",
                      PairOption(Address(2), Address(3), 4), "--duration", kDurationText});
    ASSERT_TRUE(console.WaitForLine("tick 1 of", kRunTimeoutMs)) << console.Finish(0).Transcript();

    // The Console's host has no EndPoint: its pair's client is the Console's own child.
    const std::vector<ProcessView> consoleHost = IperfProcesses(Network().Namespace(kConsoleHost));
    EXPECT_TRUE(std::any_of(consoleHost.begin(), consoleHost.end(), [&](const ProcessView& p) {
        return p.parent == console.Pid() && p.HasArguments("-c", Address(3));
    })) << "no iperf client of the Console in its own host";
    const std::vector<ProcessView> endPoint1 = IperfProcesses(Network().Namespace(2));
    EXPECT_TRUE(std::any_of(endPoint1.begin(), endPoint1.end(), [&](const ProcessView& p) {
        return p.HasArguments("-c", Address(3)) && p.HasArguments("-P", "4");
    })) << "End Point 1 runs no iperf client with 4 streams";

    const ConsoleResult run = console.Finish(kRunTimeoutMs);
    ExpectCompletedRun(run, kDuration);
    ExpectSensiblePair(run, "Pair1", kDuration);
    ExpectSensiblePair(run, "Pair2", kDuration);
    ExpectAllRowSums(run, {"Pair1", "Pair2"});
}

// The demo's pair: End Point 1 is loopback, which an EndPoint never aims a client at, so
// the Console runs that client itself, whatever its default route says.
TEST_F(ConsoleRunTest, LoopbackPairOnTheConsolesOwnHostIsRunByTheConsole) {
    StartEndPoint(kConsoleHost);
    constexpr int kSeconds = 2;
    ConsoleProcess console =
        StartConsole({"--interface", "lo", "--pair", PairOption("127.0.0.1", "127.0.0.1"),
                      "--duration", std::to_string(kSeconds)});
    ASSERT_TRUE(console.WaitForLine("tick 1 of", kRunTimeoutMs)) << console.Finish(0).Transcript();
    const std::vector<ProcessView> host = IperfProcesses(Network().Namespace(kConsoleHost));
    EXPECT_TRUE(std::any_of(host.begin(), host.end(), [&](const ProcessView& p) {
        return p.parent == console.Pid() && p.HasArguments("-c", "127.0.0.1");
    })) << "no iperf client of the Console toward loopback";

    const ConsoleResult run = console.Finish(kRunTimeoutMs);
    ExpectCompletedRun(run, kSeconds);
    ExpectSensiblePair(run, "Pair1", kSeconds);
}

TEST_F(ConsoleRunTest, UdpPairKeepsTheRequestedRate) {
    const ConsoleResult run = RunConsole({"--pair", PairOption(Address(2), Address(3)), "--udp",
                                          "--throughput", "100", "--duration", kDurationText});
    ExpectCompletedRun(run, kDuration);
    const std::optional<RowFigures> pair = ExpectSensiblePair(run, "Pair1", kDuration);
    ASSERT_TRUE(pair);
    EXPECT_GE(pair->average, 90.0) << run.Transcript();
    EXPECT_LE(pair->average, 105.0) << run.Transcript();
}

TEST_F(ConsoleRunTest, UnreachableEndPoint2EndsTheRunWithAnError) {
    // End Point 1 asks for the server (remote), or the Console does it itself (local).
    for (int endPoint1 : {2, kConsoleHost}) {
        SCOPED_TRACE("End Point 1 on host " + std::to_string(endPoint1));
        const ConsoleResult run =
            RunConsole({"--pair", PairOption(Address(endPoint1), kUnusedAddress), "--duration",
                        kFaultedDurationText});
        const std::optional<RowFigures> pair = ExpectFailedRun(run, "Pair1");
        if (pair) {
            EXPECT_EQ(pair->count, 0);
        }
        EXPECT_TRUE(ProgressTicks(run.lines).empty()) << run.Transcript();
    }
}

// Ctrl-C before the first processed second: the stop waits for that second (or at most
// 5 s) instead of being ignored until the run's end.
TEST_F(ConsoleRunTest, CtrlCBeforeTheFirstSecondStopsTheRunSoonAfter) {
    ConsoleProcess console =
        StartConsole({"--pair", PairOption(Address(2), Address(3)), "--duration", "120"});
    ASSERT_TRUE(console.WaitForLine("Measuring", 10000)) << console.Finish(0).Transcript();
    ASSERT_EQ(::kill(console.Pid(), SIGINT), 0);
    const ConsoleResult run = console.Finish(15000);
    ASSERT_TRUE(run.exitCode) << "still running 15 s after Ctrl-C\n" << run.Transcript();
    EXPECT_EQ(*run.exitCode, 1) << run.Transcript();
    EXPECT_TRUE(AnyLineContains(run.lines, "Stopping...")) << run.Transcript();
    EXPECT_TRUE(AnyLineContains(run.lines, "The current measurement is stopped."))
        << run.Transcript();
    EXPECT_LE(ProgressTicks(run.lines).size(), 1u) << run.Transcript();
    ExpectNoIperfLeft();
}

class EndPointKilledTest : public EndPointNetworkTest, public ::testing::WithParamInterface<int> {};

TEST_P(EndPointKilledTest, DuringARunEndsItWithAnError) {
    const int victim = GetParam();
    ConsoleProcess console = StartConsole(
        {"--pair", PairOption(Address(2), Address(3)), "--duration", kFaultedDurationText});
    ASSERT_TRUE(console.WaitForLine("tick 2 of", kRunTimeoutMs)) << console.Finish(0).Transcript();
    KillEndPoint(victim);

    const ConsoleResult run = console.Finish(kRunTimeoutMs);
    const std::optional<RowFigures> pair = ExpectFailedRun(run, "Pair1");
    if (pair) {
        EXPECT_GE(pair->count, 2);
        EXPECT_LT(pair->count, kFaultedDuration);
    }
}

INSTANTIATE_TEST_SUITE_P(BothEnds, EndPointKilledTest, ::testing::Values(2, 3),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "EndPoint" + std::to_string(info.param - 1);
                         });

}  // namespace
}  // namespace quarn::e2e
