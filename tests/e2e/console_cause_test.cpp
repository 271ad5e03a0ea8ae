// Why a pair failed, end to end: the headless Console prints each failed pair's cause
// under its table, naming the End Point and what went wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"
#include "tests/e2e/run_expectations.h"
#include "tests/support/fake_iperf.h"

namespace quarn::e2e {
namespace {

const std::string kCauseDurationText = "10";

using ConsoleCauseTest = EndPointNetworkTest;

// The cause line of a pair, "PairN: Error at ...", or "" when none was printed.
std::string CauseLine(const ConsoleResult& run, const std::string& pair) {
    for (const std::string& line : run.lines) {
        if (line.rfind(pair + ": Error at ", 0) == 0) {
            return line;
        }
    }
    return {};
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(ConsoleCauseTest, NoEndPointAtTheAddressIsNamed) {
    // Nothing at all at the address, as End Point 1 (remote) and as End Point 2 (local).
    for (const bool local : {false, true}) {
        const std::string pair = local ? Address(kConsoleHost) + "," + kUnusedAddress
                                       : kUnusedAddress + "," + Address(3);
        const ConsoleResult run = RunConsole({"--pair", pair, "--duration", kCauseDurationText});
        ExpectFailedRun(run, "Pair1");
        const std::string cause = CauseLine(run, "Pair1");
        EXPECT_TRUE(Has(cause, (local ? "End Point 2 " : "End Point 1 ") + kUnusedAddress + " "))
            << run.Transcript();
        EXPECT_TRUE(Has(cause, "did not answer on TCP 45000 within 10 seconds.") ||
                    Has(cause, "could not be reached on TCP 45000."))
            << run.Transcript();
    }

    // A host whose EndPoint is not running refuses the connection.
    KillEndPoint(3);
    const ConsoleResult run = RunConsole(
        {"--pair", Address(kConsoleHost) + "," + Address(3), "--duration", kCauseDurationText});
    ExpectFailedRun(run, "Pair1");
    EXPECT_TRUE(Has(CauseLine(run, "Pair1"),
                    "End Point 2 " + Address(3) + " refused the connection on TCP 45000."))
        << run.Transcript();
}

// End Point 2's iperf cannot bind any port: the EndPoint answers no "ok".
TEST_F(ConsoleCauseTest, RefusingIperfIsNamedInBothModes) {
    test_support::PrivateFakeIperf iperf("server *: bindfail");
    KillEndPoint(3);
    StartEndPoint(3, {"QUARN_IPERF=" + iperf.Path()});
    ASSERT_FALSE(HasFatalFailure());

    ConsoleResult run = RunConsole(
        {"--pair", Address(kConsoleHost) + "," + Address(3), "--duration", kCauseDurationText});
    ExpectFailedRun(run, "Pair1");
    EXPECT_TRUE(Has(CauseLine(run, "Pair1"),
                    "End Point 2 " + Address(3) + " did not start an iperf server"))
        << run.Transcript();

    // Remote: End Point 1 asked for the server and closed without a line.
    run = RunConsole({"--pair", Address(2) + "," + Address(3), "--duration", kCauseDurationText});
    ExpectFailedRun(run, "Pair1");
    EXPECT_TRUE(Has(CauseLine(run, "Pair1"), "End Point 1 " + Address(2) +
                                                 " closed the connection before any iperf output."))
        << run.Transcript();
}

// iperf's own error line in End Point 2's stream is quoted under the cause.
TEST_F(ConsoleCauseTest, IperfsOwnErrorLineIsQuoted) {
    test_support::PrivateFakeIperf iperf(
        "server *: listen; sleep 300; print read failed: Connection reset by peer; hang");
    KillEndPoint(3);
    StartEndPoint(3, {"QUARN_IPERF=" + iperf.Path()});
    ASSERT_FALSE(HasFatalFailure());

    const ConsoleResult run =
        RunConsole({"--pair", Address(2) + "," + Address(3), "--duration", kCauseDurationText});
    ExpectFailedRun(run, "Pair1");
    EXPECT_TRUE(
        Has(CauseLine(run, "Pair1"), "End Point 2 " + Address(3) + "'s iperf reported an error."))
        << run.Transcript();
    EXPECT_TRUE(AnyLineContains(run.lines, "       iperf: read failed: Connection reset by peer"))
        << run.Transcript();
}

// Another Console's "restart" ends this one's iperf processes mid-run.
TEST_F(ConsoleCauseTest, RestartFromASecondConsoleIsNamed) {
    ConsoleProcess first =
        StartConsole({"--pair", Address(2) + "," + Address(3), "--duration", "60"});
    ASSERT_TRUE(first.WaitForLine("tick 2 of", kRunTimeoutMs)) << first.Finish(0).Transcript();
    // The second Console's run starts with its "restart" broadcast; its own pair fails.
    const ConsoleResult second = RunConsole(
        {"--pair", Address(kConsoleHost) + "," + Address(kConsoleHost), "--duration", "5"});
    EXPECT_EQ(second.exitCode, 1) << second.Transcript();

    const ConsoleResult run = first.Finish(kRunTimeoutMs);
    const std::optional<RowFigures> pair = ExpectFailedRun(run, "Pair1");
    const std::string cause = CauseLine(run, "Pair1");
    // Either the stream ends, or End Point 2's iperf first reports the client's reset.
    if (Has(cause, "'s iperf reported an error.")) {
        EXPECT_TRUE(Has(cause, "End Point 2 " + Address(3))) << run.Transcript();
        EXPECT_TRUE(AnyLineContains(run.lines, "       iperf: ")) << run.Transcript();
        return;
    }
    EXPECT_TRUE(Has(cause, "End Point 1 " + Address(2) + "'s stream ended early, after "))
        << run.Transcript();
    if (pair) {
        EXPECT_TRUE(Has(cause, std::to_string(pair->count) + " second")) << run.Transcript();
    }
    EXPECT_TRUE(Has(cause, " of 60.")) << run.Transcript();
}

}  // namespace
}  // namespace quarn::e2e
