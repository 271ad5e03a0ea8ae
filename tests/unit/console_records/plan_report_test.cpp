#include "console/records/plan_report.h"

#include <gtest/gtest.h>

namespace quarn::console::records {
namespace {

// A one-pair step whose average of 300 Mbit/s is held to `minimum`.
PlanStepRun Step(int number, const std::string& name, std::optional<double> minimum,
                 bool completed = true) {
    PlanStepRun step;
    step.tags = PlanTags{"Floor <3>", name, number, 1};
    step.runId = "run-" + std::to_string(number);
    step.completed = completed;
    PairConfig pair;
    pair.endpoint1 = "198.18.1.1";
    pair.endpoint2 = "198.18.2.1";
    step.data.table.AppendPair(std::move(pair));
    step.data.table[1].figures.count = 10;
    step.data.table[1].figures.average = 300.0f;
    step.data.table[1].figures.averageText = "300.00";
    if (minimum)
        step.data.settings.passLines.minThroughput = ThroughputLine{*minimum, false};
    step.data.judgement = JudgeRun(step.data, BaselineAverages{});
    return step;
}

TEST(PlanReportTest, VerdictFailsOnAFailedOrUnfinishedStepAndPassesOnlyWhenAllPass) {
    EXPECT_FALSE(PlanVerdict({}));
    EXPECT_EQ(PlanVerdict({Step(1, "a", 250.0), Step(2, "b", 100.0)}), Verdict::Pass);
    EXPECT_EQ(PlanVerdict({Step(1, "a", 250.0), Step(2, "b", 400.0)}), Verdict::Fail);
    EXPECT_EQ(PlanVerdict({Step(1, "a", 250.0), Step(2, "b", std::nullopt)}), Verdict::Unchecked);
    EXPECT_EQ(PlanVerdict({Step(1, "a", 250.0), Step(2, "b", 100.0, false)}), Verdict::Fail);
    EXPECT_EQ(PlanVerdict({Step(1, "a", std::nullopt), Step(2, "b", 400.0)}), Verdict::Fail);
}

TEST(PlanReportTest, OneReportHasThePlansVerdictOnTopAndASectionPerStep) {
    const std::vector<PlanStepRun> steps = {Step(1, "Bulk", 250.0), Step(2, "Voice <EF>", 400.0),
                                            Step(3, "Late", 100.0, false)};
    const std::string html = BuildPlanReport("Floor <3>", steps, "2026-12-10 01:00:00", "");
    const std::size_t verdict = html.find("<p class=\"verdict\">Plan verdict: <strong>FAIL</strong></p>");
    ASSERT_NE(verdict, std::string::npos) << html;
    EXPECT_NE(html.find("<h1>Quarn plan report: Floor &lt;3&gt;</h1>"), std::string::npos);
    EXPECT_NE(html.find("Step 2: Voice &lt;EF&gt;</a></td><td>run-2</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>FAIL (did not complete)</td>"), std::string::npos);
    std::size_t last = verdict;
    for (const char* section : {"<section id=\"step-1\">\n<h1>Step 1: Bulk</h1>",
                                "<section id=\"step-2\">\n<h1>Step 2: Voice &lt;EF&gt;</h1>",
                                "<section id=\"step-3\">\n<h1>Step 3: Late</h1>"}) {
        const std::size_t at = html.find(section);
        ASSERT_NE(at, std::string::npos) << section;
        EXPECT_GT(at, last) << section;
        last = at;
    }
    // Each step carries its own pair table and sign-off page.
    std::size_t tables = 0;
    for (std::size_t at = html.find("<h2>Settings</h2>"); at != std::string::npos;
         at = html.find("<h2>Settings</h2>", at + 1))
        ++tables;
    EXPECT_EQ(tables, 3u);
    EXPECT_NE(html.find("Verdict: <strong>FAIL</strong>", html.find("step-2\">\n")),
              std::string::npos);
}

}  // namespace
}  // namespace quarn::console::records
