#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"

namespace quarn::e2e {
namespace {

constexpr int kRefusedExit = 2;
constexpr int kStepFailedExit = 3;

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& fragment) {
    std::size_t count = 0;
    for (std::size_t at = text.find(fragment); at != std::string::npos;
         at = text.find(fragment, at + 1))
        ++count;
    return count;
}

// Plans between End Point 1 (host 2) and End Point 2 (host 3), with a history of the test's
// own. Steps measure one second each.
class ConsolePlanTest : public EndPointNetworkTest {
  protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", state_.Path().c_str(), 1);
        EndPointNetworkTest::SetUp();
    }

    // A plan of the pair and `body` (its pass lines, steps and repeats).
    std::string WritePlan(const std::string& body) {
        const std::string path = files_.File("plan.yaml");
        std::ofstream(path) << "name: Hall B\npairs:\n  - " << Address(2) << "," << Address(3)
                            << "\n"
                            << body;
        return path;
    }

    std::vector<std::string> RunList() {
        const ConsoleResult listed = RunConsole({"--runs"}, 20000);
        EXPECT_EQ(listed.exitCode, 0) << listed.Transcript();
        std::vector<std::string> tagged;
        std::copy_if(
            listed.lines.begin(), listed.lines.end(), std::back_inserter(tagged),
            [](const std::string& line) { return line.find("  plan ") != std::string::npos; });
        return tagged;
    }

    test_support::TempDir state_;
    test_support::TempDir files_;
};

TEST_F(ConsolePlanTest, ThreeStepsPassAndAreEachARunOfTheHistoryAndASectionOfOneReport) {
    const std::string plan = WritePlan(R"(pass:
  min: 1
steps:
  - name: Bulk
    duration: 1
  - name: Voice
    protocol: udp
    throughput: 5
    length: 200
    dscp: EF
    duration: 1
    pass:
      loss: 20
  - name: Both ways
    both-ways: true
    mss: 1000
    duration: 1
)");
    const std::string report = files_.File("plan.html");
    const ConsoleResult run = RunConsole({"--plan", plan, "--report", report});
    EXPECT_EQ(run.exitCode, 0) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Plan Hall B: 3 steps")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Step 1 of 3: Bulk")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Step 2 of 3: Voice")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Step 3 of 3: Both ways")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Measuring 2 pair(s) for 1 s...")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Plan verdict: PASS (3 of 3 steps run)")) << run.Transcript();

    const std::string html = FileText(report);
    EXPECT_NE(html.find("<p class=\"verdict\">Plan verdict: <strong>PASS</strong></p>"),
              std::string::npos);
    EXPECT_EQ(Count(html, "<section id=\"step-"), 3u);
    EXPECT_NE(html.find("<h1>Step 2: Voice</h1>"), std::string::npos);
    EXPECT_NE(html.find("EF"), std::string::npos);

    const std::vector<std::string> history = RunList();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_TRUE(history[0].ends_with("plan Hall B, step 1 Bulk")) << history[0];
    EXPECT_TRUE(history[2].ends_with("plan Hall B, step 3 Both ways")) << history[2];
}

TEST_F(ConsolePlanTest, AFailingStepFailsThePlanAfterEveryStepRan) {
    const std::string plan = WritePlan(R"(steps:
  - name: Easy
    duration: 1
    pass:
      min: 1
  - name: Out of reach
    duration: 1
    pass:
      min: 900000
)");
    const std::string jsonl = files_.File("plan.jsonl");
    const ConsoleResult run = RunConsole({"--plan", plan, "--jsonl", jsonl});
    EXPECT_EQ(run.exitCode, kStepFailedExit) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Plan verdict: FAIL (2 of 2 steps run)")) << run.Transcript();
    const std::string records = FileText(jsonl);
    EXPECT_NE(records.find(R"("plan":"Hall B","plan_step":"Easy","plan_step_number":1,)"),
              std::string::npos)
        << records;
    EXPECT_NE(records.find(R"("plan_step":"Out of reach","plan_step_number":2,)"),
              std::string::npos)
        << records;
    EXPECT_EQ(Count(records, R"("type":"run_summary")"), 2u);
}

TEST_F(ConsolePlanTest, ABadValueRefusesThePlanBeforeAnythingRuns) {
    const std::string plan = WritePlan("steps:\n  - name: Voice\n    dscp: VOICE\n");
    const ConsoleResult run = RunConsole({"--plan", plan}, 20000);
    EXPECT_EQ(run.exitCode, kRefusedExit) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, plan + ":6: dscp expects CS0-CS7, AF11-AF43, EF or 0-63: VOICE"))
        << run.Transcript();
    EXPECT_FALSE(AnyLineContains(run.lines, "Measuring")) << run.Transcript();
    EXPECT_TRUE(RunList().empty());
}

// The second repetition waits for its start; Ctrl-C in the third one's wait ends the plan
// at once.
TEST_F(ConsolePlanTest, RepetitionsWaitTheirIntervalAndCtrlCEndsTheWait) {
    const std::string plan =
        WritePlan("steps:\n  - name: Soak\n    duration: 1\nrepeat: 3\nevery: 8 s\n");
    ConsoleProcess console = StartConsole({"--plan", plan});
    ASSERT_TRUE(console.WaitForLine("Repetition 2 of 3 in ", kRunTimeoutMs));
    ASSERT_TRUE(console.WaitForLine("Step 1 of 1: Soak (repetition 2 of 3)", 15000));
    ASSERT_TRUE(console.WaitForLine("Repetition 3 of 3 in ", kRunTimeoutMs));
    const auto pressed = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(console.Pid(), SIGINT), 0);
    const ConsoleResult run = console.Finish(5000);
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, std::chrono::seconds(2));
    EXPECT_EQ(run.exitCode, 1) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Plan stopped before repetition 3 of 3.")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Plan verdict: UNCHECKED (2 of 3 steps run)"))
        << run.Transcript();
    const std::vector<std::string> history = RunList();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_TRUE(history[1].ends_with("plan Hall B, step 1 Soak (repetition 2)")) << history[1];
}

// An isolate step measures each pair alone, then both together; every phase is a run
// tagged with the step, and the step's section of the report holds the figures.
TEST_F(ConsolePlanTest, AnIsolateStepRunsEachPairAloneThenTogether) {
    const std::string plan =
        WritePlan("steps:\n  - name: Shared uplink\n    both-ways: true\n    isolate: 1\n");
    const std::string report = files_.File("isolate.html");
    const ConsoleResult run = RunConsole({"--plan", plan, "--report", report});
    EXPECT_EQ(run.exitCode, 0) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Measuring Pair1 alone for 1 s...")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Measuring Pair2 alone for 1 s...")) << run.Transcript();
    EXPECT_TRUE(HasLine(run.lines, "Measuring 2 pairs together for 1 s...")) << run.Transcript();
    EXPECT_NE(FileText(report).find("<h2>Isolation</h2>"), std::string::npos);
    const std::vector<std::string> history = RunList();
    ASSERT_EQ(history.size(), 3u);
    for (const std::string& line : history)
        EXPECT_TRUE(line.ends_with("plan Hall B, step 1 Shared uplink")) << line;
}

}  // namespace
}  // namespace quarn::e2e
