#include "console/session/plan_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "console/core/event_loop.h"
#include "console/records/run_history.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_core/scripted_sessions.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;

// The window's part: its view hands the runner the notices and the runs' ends, and its
// timer is the test's to fire.
class PlanFrontView : public PlanFront, public ConsoleView {
  public:
    void PlanSaid(std::string_view text) override { said.emplace_back(text); }
    void StartWait(std::chrono::milliseconds wait) override { waits.push_back(wait); }
    void CancelWait() override { ++cancels; }
    void PlanEnded() override { ++ends; }
    void ShowNotice(NoticeKind kind, std::string_view /*text*/) override {
        if (runner)
            runner->Noticed(kind);
    }
    void ModeChanged() override {
        if (runner)
            runner->RunEnded();
    }
    PlanRunner* runner = nullptr;
    std::vector<std::string> said;
    std::vector<std::chrono::milliseconds> waits;
    int cancels = 0;
    int ends = 0;
};

std::string Interval(int second) {
    return "[  1] " + std::to_string(second) + ".0000-" + std::to_string(second + 1) +
           ".0000 sec  5.00 MBytes  40.0 Mbits/sec";
}

class PlanRunnerTest : public ::testing::Test {
  protected:
    PlanRunnerTest() : session(Options(), loop), runner(session, front) {
        front.runner = &runner;
        session.AttachView(&front);
        session.Run().SetStartDelay(0ms);
    }

    SessionOptions Options() {
        SessionOptions options;
        options.historyDir = history.File("runs");
        options.interfaces = {"quarn-none0"};
        options.sessions = &factory;
        options.environment = &environment;
        return options;
    }

    static plans::TestPlan Plan(const std::string& more, const std::string& seconds = "1") {
        Result<plans::TestPlan> plan = plans::ParsePlan(
            "name: Night\n"
            "pairs:\n  - 198.18.0.2,198.18.0.3\n"
            "steps:\n"
            "  - name: First\n    duration: " +
                seconds +
                "\n"
                "  - name: Second\n    duration: " +
                seconds + "\n" + more,
            "night.yaml");
        EXPECT_TRUE(plan) << plan.Why();
        return std::move(plan).Value();
    }

    // Pair 1's next run goes to its end, or stays after its first seconds until stopped.
    void ScriptRun(bool completes) {
        test::SessionScript script;
        for (int second = 0; second <= 3; ++second)
            script.lines.push_back(Interval(second));
        if (!completes)
            script.lines.resize(3);
        script.waitForAbort = !completes;
        factory.Script(1, script);
    }

    bool RunUntilEnded() {
        return loop.RunUntil([&] { return front.ends > 0 || front.runner == nullptr; }, 10s);
    }

    bool FirstSecondSeen() {
        return loop.RunUntil([&] { return session.Run().FirstTickSeen(); }, 5s);
    }

    bool Said(const std::string& text) const {
        return std::find(front.said.begin(), front.said.end(), text) != front.said.end();
    }

    test_support::TempDir history;
    test::ScriptedSessionFactory factory;
    test::FakeEnvironment environment;
    EventLoop loop;
    PlanFrontView front;
    ConsoleSession session;
    PlanRunner runner;
};

TEST_F(PlanRunnerTest, StepsRunInOrderEachARunOfTheHistory) {
    ScriptRun(true);
    ScriptRun(true);
    ASSERT_TRUE(runner.Start(Plan("")));
    EXPECT_TRUE(runner.Running());
    ASSERT_TRUE(RunUntilEnded());
    EXPECT_EQ(front.said, (std::vector<std::string>{"Plan Night: 2 steps", "Step 1 of 2: First",
                                                    "Step 2 of 2: Second",
                                                    "Plan verdict: UNCHECKED (2 of 2 steps run)"}));
    ASSERT_EQ(runner.Steps().size(), 2u);
    EXPECT_EQ(runner.Steps()[0].tags.step, "First");
    EXPECT_EQ(runner.Steps()[1].tags.stepNumber, 2);
    EXPECT_TRUE(runner.Steps()[0].completed && runner.Steps()[1].completed);
    EXPECT_NE(runner.Steps()[0].runId, runner.Steps()[1].runId);
    EXPECT_EQ(records::ListRuns(session.HistoryDir()).size(), 2u);
    EXPECT_FALSE(runner.Running());
    EXPECT_EQ(front.ends, 1);

    const std::string html = runner.Report("2026-12-10 01:00", "Night");
    EXPECT_NE(html.find("Second"), std::string::npos);
    // A second plan starts afresh.
    ScriptRun(true);
    ScriptRun(true);
    front.ends = 0;
    ASSERT_TRUE(runner.Start(Plan("")));
    ASSERT_TRUE(RunUntilEnded());
    EXPECT_EQ(runner.Steps().size(), 2u);
}

// Stop mid-step stops the run, records the step as not completed and runs nothing after.
TEST_F(PlanRunnerTest, StopEndsThePlanAfterSayingSo) {
    ScriptRun(false);
    ASSERT_TRUE(runner.Start(Plan("", "5")));
    ASSERT_TRUE(FirstSecondSeen());
    runner.Stop();
    ASSERT_TRUE(RunUntilEnded());
    EXPECT_TRUE(Said("Plan stopped after Step 1 of 2: First."));
    EXPECT_FALSE(Said("Step 2 of 2: Second"));
    ASSERT_EQ(runner.Steps().size(), 1u);
    EXPECT_FALSE(runner.Steps()[0].completed);
    EXPECT_EQ(runner.PlanVerdict(), Verdict::Fail);
    EXPECT_EQ(front.said.back(), "Plan verdict: FAIL (1 of 2 steps run)");
}

// A step whose pairs cannot start counts as failed; the plan goes on with the next.
TEST_F(PlanRunnerTest, AFailedStepFailsThePlanAndTheNextStillRuns) {
    test::SessionScript broken;
    broken.cannotStart = true;
    factory.Script(1, broken);
    ScriptRun(true);
    ASSERT_TRUE(runner.Start(Plan("")));
    ASSERT_TRUE(RunUntilEnded());
    ASSERT_EQ(runner.Steps().size(), 2u);
    EXPECT_FALSE(runner.Steps()[0].completed);
    EXPECT_TRUE(runner.Steps()[1].completed);
    EXPECT_EQ(runner.PlanVerdict(), Verdict::Fail);
}

// A repetition waits on the front end's timer; Stop during the wait cancels it.
TEST_F(PlanRunnerTest, ARepetitionWaitsForTheTimerAndStopEndsTheWait) {
    for (int run = 0; run < 4; ++run)
        ScriptRun(true);
    ASSERT_TRUE(runner.Start(Plan("repeat: 3\nevery: 1 h\n")));
    ASSERT_TRUE(loop.RunUntil([&] { return runner.Waiting(); }, 10s));
    ASSERT_EQ(front.waits.size(), 1u);
    EXPECT_GT(front.waits[0], 59min);
    EXPECT_LE(front.waits[0], 60min);
    EXPECT_EQ(front.said.back(), "Repetition 2 of 3 in 1 h; Stop ends the plan.");
    EXPECT_EQ(runner.Steps().size(), 2u);

    runner.RepetitionDue();
    EXPECT_TRUE(Said("Step 1 of 2: First (repetition 2 of 3)"));
    ASSERT_TRUE(loop.RunUntil([&] { return runner.Waiting(); }, 10s));
    ASSERT_EQ(runner.Steps().size(), 4u);
    EXPECT_EQ(runner.Steps()[3].tags.repetition, 2);

    runner.Stop();
    EXPECT_EQ(front.cancels, 1);
    EXPECT_TRUE(Said("Plan stopped before repetition 3 of 3."));
    EXPECT_EQ(front.ends, 1);
    EXPECT_FALSE(runner.Running());
    // A late timer after the end starts nothing.
    runner.RepetitionDue();
    EXPECT_EQ(runner.Steps().size(), 4u);
}

// A timer that fires after the Console quit starts nothing.
TEST_F(PlanRunnerTest, AfterAQuitTheNextRepetitionDoesNotStart) {
    ScriptRun(true);
    ScriptRun(true);
    ASSERT_TRUE(runner.Start(Plan("repeat: 2\nevery: 1 h\n")));
    ASSERT_TRUE(loop.RunUntil([&] { return runner.Waiting(); }, 10s));
    const std::size_t probes = factory.probes.size();
    session.Quit();
    runner.RepetitionDue();
    EXPECT_FALSE(Said("Step 1 of 2: First (repetition 2 of 2)"));
    EXPECT_EQ(factory.probes.size(), probes);
    EXPECT_EQ(runner.Steps().size(), 2u);
}

TEST_F(PlanRunnerTest, RefusedWhileBusyOrWithAnIsolationStep) {
    EXPECT_EQ(runner.Start(Plan("  - name: Alone\n    isolate: 2\n")).Why(),
              PlanRunner::kIsolateInWindow);
    ScriptRun(false);
    ASSERT_TRUE(runner.Start(Plan("", "5")));
    EXPECT_FALSE(runner.Start(Plan("")));
    ASSERT_TRUE(FirstSecondSeen());
    runner.Stop();
    ASSERT_TRUE(RunUntilEnded());
}

}  // namespace
}  // namespace quarn::console
