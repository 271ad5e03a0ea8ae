#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/older_endpoint.h"
#include "tests/e2e/run_expectations.h"
#include "tests/e2e/wire_capture.h"

namespace quarn::e2e {
namespace {

constexpr int kSeconds = 2;

int CountContaining(const std::vector<std::string>& lines, const std::string& fragment) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(fragment) != std::string::npos;
    }));
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

class ConsoleTrafficTest : public EndPointNetworkTest {
  protected:
    ConsoleResult Run(const std::vector<std::string>& pairs, const std::vector<std::string>& more) {
        std::vector<std::string> args = {"--duration", std::to_string(kSeconds)};
        for (const std::string& pair : pairs)
            args.insert(args.end(), {"--pair", pair});
        args.insert(args.end(), more.begin(), more.end());
        return RunConsole(args);
    }
    std::string Pair(int from, int to) const { return Address(from) + "," + Address(to); }
};

// The data connection's SYN carries the MSS and every data packet the EF marking.
TEST_F(ConsoleTrafficTest, TcpArrivesMarkedEfWithTheMssInItsSyn) {
    WireCapture wire(Network(), 3, "tcp and src host " + Address(2) + " and not port 45000",
                     WireCapture::Lines::Detailed);
    ASSERT_TRUE(wire.Listening());
    const ConsoleResult run = Run({Pair(2, 3)}, {"--dscp", "EF", "--mss", "1000"});
    ExpectCompletedRun(run, kSeconds);
    const std::vector<std::string> seen = wire.Stop();
    EXPECT_GE(CountContaining(seen, "tos 0xb8"), 10) << Joined(seen);
    EXPECT_EQ(CountContaining(seen, "tos 0x0,"), 0) << Joined(seen);
    EXPECT_GE(CountContaining(seen, "mss 1000"), 1) << Joined(seen);
}

TEST_F(ConsoleTrafficTest, UdpArrivesAsDatagramsOfTheChosenLength) {
    WireCapture wire(Network(), 3, "udp and src host " + Address(2) + " and not port 54321",
                     WireCapture::Lines::Detailed);
    ASSERT_TRUE(wire.Listening());
    const ConsoleResult run =
        Run({Pair(2, 3)}, {"--udp", "--throughput", "2", "--length", "200", "--dscp", "AF41"});
    ExpectCompletedRun(run, kSeconds);
    ExpectSensiblePair(run, "Pair1", kSeconds);
    const std::vector<std::string> seen = wire.Stop();
    EXPECT_GE(CountContaining(seen, "UDP, length 200"), 100) << Joined(seen);
    EXPECT_GE(CountContaining(seen, "tos 0x88"), 100) << Joined(seen);
}

// Datagrams longer than iperf's server reads by default arrive whole: End Point 2's server
// was told their length.
TEST_F(ConsoleTrafficTest, JumboDatagramsAreCountedWhole) {
    const ConsoleResult run =
        Run({Pair(2, 3)}, {"--udp", "--throughput", "20", "--length", "8000"});
    ExpectCompletedRun(run, kSeconds);
    const std::optional<RowFigures> figures = ExpectSensiblePair(run, "Pair1", kSeconds);
    ASSERT_TRUE(figures);
    EXPECT_GT(figures->average, 15.0) << run.Transcript();
}

// Both directions of a link at once, and two senders into one receiver, one of them this
// Console itself: every pair measures, and the receiver's wire carries each sender.
TEST_F(ConsoleTrafficTest, BothWaysAndFanInRunEveryPairAtOnce) {
    const ConsoleResult both = Run({Pair(2, 3)}, {"--both-ways"});
    ExpectCompletedRun(both, kSeconds);
    EXPECT_TRUE(HasLine(both.lines, "Measuring 2 pair(s) for 2 s...")) << both.Transcript();
    ExpectSensiblePair(both, "Pair1", kSeconds);
    ExpectSensiblePair(both, "Pair2", kSeconds);

    WireCapture wire(Network(), 3, "udp and dst host " + Address(3) + " and not port 54321",
                     WireCapture::Lines::Detailed);
    ASSERT_TRUE(wire.Listening());
    const ConsoleResult fanIn =
        Run({}, {"--fan-in", Address(1) + "," + Address(2) + ":" + Address(3), "--udp",
                 "--throughput", "5"});
    ExpectCompletedRun(fanIn, kSeconds);
    ExpectSensiblePair(fanIn, "Pair1", kSeconds);
    ExpectSensiblePair(fanIn, "Pair2", kSeconds);
    const std::vector<std::string> seen = wire.Stop();
    EXPECT_GE(CountContaining(seen, Address(1) + "."), 100) << Joined(seen);
    EXPECT_GE(CountContaining(seen, Address(2) + "."), 100) << Joined(seen);
}

// A mesh of three hosts (the Console's own among them, with an EndPoint to serve there)
// runs all six ordered pairs at once, each reaching its End Point 2 on the wire.
TEST_F(ConsoleTrafficTest, MeshRunsEveryOrderedPairAtOnce) {
    StartEndPoint(kConsoleHost);
    WireCapture wire(Network(), 3, "udp and dst host " + Address(3) + " and not port 54321",
                     WireCapture::Lines::Detailed);
    ASSERT_TRUE(wire.Listening());
    const ConsoleResult mesh = Run({}, {"--mesh", Address(1) + "," + Address(2) + "," + Address(3),
                                        "--udp", "--throughput", "5"});
    ExpectCompletedRun(mesh, kSeconds);
    EXPECT_TRUE(HasLine(mesh.lines, "Measuring 6 pair(s) for 2 s...")) << mesh.Transcript();
    for (int pair = 1; pair <= 6; ++pair)
        ExpectSensiblePair(mesh, "Pair" + std::to_string(pair), kSeconds);
    const std::vector<std::string> seen = wire.Stop();
    EXPECT_GE(CountContaining(seen, Address(1) + "."), 100) << Joined(seen);
    EXPECT_GE(CountContaining(seen, Address(2) + "."), 100) << Joined(seen);
}

// An older EndPoint as End Point 1 is never sent a marking; as End Point 2 it serves the
// other pair, whose client is a current EndPoint.
TEST_F(ConsoleTrafficTest, OlderEndPointIsRefusedWithItsCauseWhileTheOtherPairRuns) {
    KillEndPoint(3);
    OlderEndPoint older(Network(), 3, "Old Rack");
    ASSERT_TRUE(older.Listening());
    const ConsoleResult run = Run({Pair(3, 2), Pair(2, 3)}, {"--dscp", "EF"});
    EXPECT_TRUE(HasLine(run.lines, kCompletedNotice)) << run.Transcript();
    const std::string cause =
        "End Point 1 " + Address(3) + " does not take DSCP marking: an older EndPoint";
    EXPECT_EQ(CountContaining(run.lines, cause), 1) << run.Transcript();
    ExpectSensiblePair(run, "Pair2", kSeconds);
    EXPECT_EQ(older.ServerRequests(), 1);  // Pair2's server only
}

}  // namespace
}  // namespace quarn::e2e
