#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/pair_verdict.h"
#include "console/records/record_format.h"
#include "console/records/run_report.h"

namespace quarn::console::records {

// One step of a plan as it ran: its tags, the run's data as it ended and its charts.
struct PlanStepRun {
    PlanTags tags;
    std::string runId;
    bool completed = false;  // ran to its end (not stopped, not failed)
    ConsoleData data;
    std::vector<ReportChart> charts;
    std::string moreSections;  // an isolation step's figures
};

// FAIL when a step failed its lines or did not complete, PASS when every step passed,
// UNCHECKED otherwise (no lines, or figures they need were missing); none without steps.
std::optional<Verdict> PlanVerdict(const std::vector<PlanStepRun>& steps);
// A step's verdict as the plan counts it: a step that did not complete fails.
Verdict StepVerdict(const PlanStepRun& step);

// One report of a whole plan: its verdict and a line per step on top, then a section per
// step with its sign-off page, settings, pairs and charts.
std::string BuildPlanReport(const std::string& plan, const std::vector<PlanStepRun>& steps,
                            const std::string& createdAt, const std::string& title);

}  // namespace quarn::console::records
