#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/older_endpoint.h"
#include "tests/e2e/run_expectations.h"

namespace quarn::e2e {
namespace {

constexpr int kVerdictSeconds = 3;
constexpr int kPairFailedExit = 3;

bool StartsWith(const std::string& line, const std::string& start) {
    return line.rfind(start, 0) == 0;
}

// The line that starts with `start`, or empty.
std::string LineStarting(const ConsoleResult& run, const std::string& start) {
    const auto it = std::find_if(run.lines.begin(), run.lines.end(),
                                 [&](const std::string& line) { return StartsWith(line, start); });
    return it == run.lines.end() ? std::string() : *it;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ConsoleVerdictTest : public EndPointNetworkTest {
  protected:
    // What reaches End Point 2 queues at the bridge's port towards host 3.
    void ShapeTowardsHost3(const std::string& rate) {
        const test_support::CommandResult result = test_support::RunCommand(
            {"ip", "netns", "exec", Network().SwitchNamespace(), "tc", "qdisc", "replace", "dev",
             "h3", "root", "tbf", "rate", rate, "burst", "64kbit", "latency", "20ms"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }

    // A pair from End Point 1 (host 2) to End Point 2 (host 3).
    ConsoleResult Run(const std::vector<std::string>& options) {
        std::vector<std::string> args = {"--pair", Address(2) + "," + Address(3), "--duration",
                                         std::to_string(kVerdictSeconds)};
        args.insert(args.end(), options.begin(), options.end());
        return RunConsole(args);
    }

    // Ran to its end, and a pair failed its lines.
    static void ExpectFailedVerdict(const ConsoleResult& run) {
        EXPECT_EQ(run.exitCode, kPairFailedExit) << run.Transcript();
        EXPECT_TRUE(HasLine(run.lines, kCompletedNotice)) << run.Transcript();
        EXPECT_TRUE(HasLine(run.lines, "Run verdict: FAIL")) << run.Transcript();
    }

    test_support::TempDir files_;
};

TEST_F(ConsoleVerdictTest, ShapedLinkPassesOneAbsoluteLineAndFailsAnother) {
    ShapeTowardsHost3("100mbit");
    const ConsoleResult passed = Run({"--pass-min", "50"});
    ExpectCompletedRun(passed, kVerdictSeconds);
    EXPECT_TRUE(HasLine(passed.lines, "Run verdict: PASS")) << passed.Transcript();
    EXPECT_TRUE(LineStarting(passed, "Pair1 ").ends_with("  PASS")) << passed.Transcript();

    const std::string jsonl = files_.File("run.jsonl");
    const ConsoleResult failed = Run({"--pass-min", "150", "--jsonl", jsonl});
    ExpectFailedVerdict(failed);
    const std::string reason = LineStarting(failed, "Pair1 FAIL: average ");
    EXPECT_TRUE(reason.ends_with(" Mbit/s is below the pass line 150.00 Mbit/s"))
        << failed.Transcript();
    const std::string records = FileText(jsonl);
    EXPECT_NE(records.find(R"("pass_lines":{"min_mbit_per_s":150})"), std::string::npos) << records;
    EXPECT_NE(records.find(R"("endpoint2_link":{"interface":"eth0","speed_mbit_per_s":10000,)"
                           R"("duplex":"full","mtu":1500,"wireless":false})"),
              std::string::npos)
        << records;
    EXPECT_NE(records.find(R"("verdict":"fail","verdict_reasons":[")" + reason.substr(12) + "\"]"),
              std::string::npos)
        << records;
    EXPECT_NE(records.find(R"(,"verdict":"fail"})"), std::string::npos) << records;
}

// The veth says 10000 Mbit/s whatever the shaping behind it: 90 % of its goodput is out of
// reach of a link shaped to 1 Gbit/s. End Point 2's jumbo MTU is noted.
TEST_F(ConsoleVerdictTest, PercentLineFailsAgainstTheReportedSpeedAndAnMtuMismatchIsNoted) {
    ShapeTowardsHost3("1000mbit");
    const test_support::CommandResult mtu =
        Network().Run(3, {"ip", "link", "set", "eth0", "mtu", "9000"});
    ASSERT_EQ(mtu.exitCode, 0) << mtu.output;
    const ConsoleResult run = Run({"--pass-min", "90%"});
    ExpectFailedVerdict(run);
    EXPECT_TRUE(LineStarting(run, "Pair1 FAIL: average ")
                    .ends_with(" Mbit/s is below the pass line 8473.34 Mbit/s (90.0 % of the "
                               "expected 9414.82 Mbit/s)"))
        << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Pair1 note: the MTUs differ: 1500 and 9000"))
        << run.Transcript();
}

TEST_F(ConsoleVerdictTest, LossLineFailsWhenTheOfferExceedsTheShapedLink) {
    ShapeTowardsHost3("50mbit");
    const ConsoleResult run = Run({"--udp", "--throughput", "100", "--pass-loss", "0.5"});
    ExpectFailedVerdict(run);
    const std::string reason = LineStarting(run, "Pair1 FAIL: loss ");
    EXPECT_TRUE(reason.ends_with(" % is above 0.50 %")) << run.Transcript();
}

TEST_F(ConsoleVerdictTest, BaselineOfOneShapingFailsOnASlowerOne) {
    // Refused before anything runs.
    const ConsoleResult refused = Run({"--pass-min", "fast"});
    EXPECT_EQ(refused.exitCode, 2) << refused.Transcript();
    EXPECT_FALSE(AnyLineContains(refused.lines, "Measuring")) << refused.Transcript();

    ShapeTowardsHost3("100mbit");
    const std::string baseline = files_.File("baseline.config");
    ExpectCompletedRun(Run({"--save", baseline}), kVerdictSeconds);
    ShapeTowardsHost3("40mbit");
    const ConsoleResult run = Run({"--baseline", baseline, "--pass-baseline", "20"});
    ExpectFailedVerdict(run);
    const std::string reason = LineStarting(run, "Pair1 FAIL: average ");
    EXPECT_NE(reason.find(" % below the baseline "), std::string::npos) << run.Transcript();
}

// End Point 2 speaks only the older protocol: it ignores the "facts" probe, so its pair has
// no expected goodput and a % line leaves it unchecked; an absolute line still holds it.
// End Point 1 is the Console's own host: no EndPoint reports its link, the Console reads
// that of its interface towards End Point 2 (here with a jumbo MTU), so a % line applies.
TEST_F(ConsoleVerdictTest, LocalPairIsJudgedOnTheConsolesOwnLink) {
    ShapeTowardsHost3("100mbit");
    const test_support::CommandResult mtu =
        Network().Run(1, {"ip", "link", "set", "eth0", "mtu", "9000"});
    ASSERT_EQ(mtu.exitCode, 0) << mtu.output;
    const ConsoleResult run = RunConsole({"--pair", Address(1) + "," + Address(3), "--duration",
                                          std::to_string(kVerdictSeconds), "--pass-min", "50%"});
    ExpectFailedVerdict(run);
    EXPECT_TRUE(LineStarting(run, "Pair1 FAIL: average ")
                    .ends_with(" Mbit/s is below the pass line 4707.41 Mbit/s (50.0 % of the "
                               "expected 9414.82 Mbit/s)"))
        << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Pair1 note: the MTUs differ: 9000 and 1500"))
        << run.Transcript();
}

TEST_F(ConsoleVerdictTest, OlderEndPointIsUncheckedForAPercentLineButHeldToAnAbsoluteOne) {
    KillEndPoint(3);
    OlderEndPoint older(Network(), 3, "Old Rack");
    ASSERT_TRUE(older.Listening());
    const ConsoleResult search = RunConsole({"--search"}, 20000);
    EXPECT_TRUE(LineStarting(search, Address(2) + " ")
                    .ends_with(" 10000 Mbit/s full duplex, MTU 1500  " + EndPointName(2)))
        << search.Transcript();
    EXPECT_TRUE(LineStarting(search, Address(3) + " ").ends_with("  Old Rack"))
        << search.Transcript();

    const ConsoleResult unchecked = Run({"--pass-min", "90%"});
    ExpectCompletedRun(unchecked, kVerdictSeconds);
    EXPECT_TRUE(HasLine(unchecked.lines,
                        "Pair1 UNCHECKED: no expected goodput for the pass line 90.0 %: an end "
                        "reported no link speed or MTU"))
        << unchecked.Transcript();
    EXPECT_TRUE(HasLine(unchecked.lines, "Run verdict: UNCHECKED")) << unchecked.Transcript();

    const ConsoleResult held = Run({"--pass-min", "100000"});
    ExpectFailedVerdict(held);
    EXPECT_GE(older.Others(), 1);  // the "facts" probes, ignored
    EXPECT_EQ(older.ServerRequests(), 2);
}

}  // namespace
}  // namespace quarn::e2e
