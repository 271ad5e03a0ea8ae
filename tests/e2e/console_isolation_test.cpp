// The isolation run on a network whose shaped link two pairs share and a third does not.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/core/number_text.h"
#include "tests/e2e/console_network_test.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace quarn::e2e {
namespace {

constexpr int kPhaseSeconds = 2;
constexpr int kIsolationTimeoutMs = 120000;
// Small enough that each pair's window, not the order the senders start in, sets its share
// of the shaped port's queue: neither pair there is starved (about 7 and 12 of 19 Mbit/s).
constexpr const char* kWindow = "0.04";
constexpr const char* kShared = "pairs 1 and 2 share about ";

class ConsoleIsolationTest : public EndPointNetworkTest {
  protected:
    // The switch's port toward host `port` sends at most `rate`.
    void Shape(const std::string& port, const std::string& rate) {
        const test_support::CommandResult shaped = test_support::RunCommand(
            {"ip", "netns", "exec", Network().SwitchNamespace(), "tc", "qdisc", "add", "dev", port,
             "root", "tbf", "rate", rate, "burst", "32kb", "latency", "50ms"});
        ASSERT_EQ(shaped.exitCode, 0) << shaped.output;
    }
    std::string Pair(int from, int to) const { return Address(from) + "," + Address(to); }
};

std::vector<std::string> Containing(const std::vector<std::string>& lines,
                                    const std::string& fragment) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.find(fragment) != std::string::npos)
            found.push_back(line);
    }
    return found;
}

// Pairs 1 (host 1 to 3) and 2 (host 2 to 3) both end on host 3's 20 Mbit/s port; pair 3
// (host 1 to 2) goes through host 2's 100 Mbit/s port alone. Only the first two are named,
// with about the shaped rate, in the terminal and in the report. (The switch ports take no
// fair queueing here, only a first-in-first-out queue.)
TEST_F(ConsoleIsolationTest, NamesThePairsBehindTheSharedShapedLink) {
    Shape("h3", "20mbit");
    Shape("h2", "100mbit");
    const test_support::TempDir dir;
    const std::string report = dir.File("isolation.html");
    const ConsoleResult run =
        RunConsole({"--isolate", std::to_string(kPhaseSeconds), "--pair", Pair(1, 3), "--pair",
                    Pair(2, 3), "--pair", Pair(1, 2), "--report", report, "--window", kWindow},
                   kIsolationTimeoutMs);
    ASSERT_EQ(run.exitCode, 0) << run.Transcript();
    for (const char* phase :
         {"Measuring Pair1 alone for 2 s...", "Measuring Pair2 alone for 2 s...",
          "Measuring Pair3 alone for 2 s...", "Measuring 3 pairs together for 2 s..."})
        EXPECT_EQ(Containing(run.lines, phase).size(), 1u) << phase << "\n" << run.Transcript();

    const std::vector<std::string> shared = Containing(run.lines, " share about ");
    ASSERT_EQ(shared.size(), 1u) << run.Transcript();
    ASSERT_EQ(shared[0].rfind(kShared, 0), 0u) << run.Transcript();
    const double ceiling = console::LeadingDouble(shared[0].substr(std::string(kShared).size()));
    EXPECT_GE(ceiling, 15.0) << shared[0];
    EXPECT_LE(ceiling, 21.0) << shared[0];
    EXPECT_NE(shared[0].find(" Mbit/s"), std::string::npos) << shared[0];

    std::ifstream in(report);
    std::stringstream html;
    html << in.rdbuf();
    EXPECT_NE(html.str().find("<h2>Isolation</h2>"), std::string::npos);
    EXPECT_NE(html.str().find(shared[0]), std::string::npos) << html.str();
}

}  // namespace
}  // namespace quarn::e2e
