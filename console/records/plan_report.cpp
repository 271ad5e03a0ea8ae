#include "console/records/plan_report.h"

#include "console/records/report_signoff.h"

namespace quarn::console::records {
namespace {

std::string StepHeading(const PlanStepRun& step) {
    std::string text = "Step " + std::to_string(step.tags.stepNumber) + ": " + step.tags.step;
    if (step.tags.repetition > 1)
        text += " (repetition " + std::to_string(step.tags.repetition) + ")";
    return text;
}

std::string StepAnchor(std::size_t index) {
    return "step-" + std::to_string(index + 1);
}

std::string StepsTable(const std::vector<PlanStepRun>& steps) {
    std::string html =
        "<table class=\"steps\">\n<tr><th>Step</th><th>Run</th><th>Measured</th>"
        "<th>Verdict</th></tr>\n";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const PlanStepRun& step = steps[i];
        const std::string verdict = step.completed ? VerdictLabel(StepVerdict(step))
                                                   : std::string("FAIL (did not complete)");
        html += "<tr><td><a href=\"#" + StepAnchor(i) + "\">" + HtmlEscape(StepHeading(step)) +
                "</a></td><td>" + HtmlEscape(step.runId) + "</td><td>" +
                HtmlEscape(step.data.measuredAt) + "</td><td>" + HtmlEscape(verdict) +
                "</td></tr>\n";
    }
    return html + "</table>\n";
}

}  // namespace

Verdict StepVerdict(const PlanStepRun& step) {
    if (!step.completed)
        return Verdict::Fail;
    return step.data.judgement ? step.data.judgement->run : Verdict::Unchecked;
}

std::optional<Verdict> PlanVerdict(const std::vector<PlanStepRun>& steps) {
    if (steps.empty())
        return std::nullopt;
    bool allPass = true;
    for (const PlanStepRun& step : steps) {
        const Verdict verdict = StepVerdict(step);
        if (verdict == Verdict::Fail)
            return Verdict::Fail;
        allPass = allPass && verdict == Verdict::Pass;
    }
    return allPass ? Verdict::Pass : Verdict::Unchecked;
}

std::string BuildPlanReport(const std::string& plan, const std::vector<PlanStepRun>& steps,
                            const std::string& createdAt, const std::string& title) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<title>Quarn plan report: " + HtmlEscape(plan) + "</title>\n";
    html += "<style>" + ReportStyle() + "</style>\n</head>\n<body>\n";
    html += "<h1>Quarn plan report: " + HtmlEscape(plan) + "</h1>\n";
    if (!title.empty())
        html += "<p class=\"title\">" + HtmlEscape(title) + "</p>\n";
    const std::optional<Verdict> verdict = PlanVerdict(steps);
    html += "<p class=\"verdict\">Plan verdict: <strong>" +
            std::string(verdict ? VerdictLabel(*verdict) : "none: no step ran") + "</strong></p>\n";
    html += "<p class=\"created\">Report made " + HtmlEscape(createdAt) + "</p>\n";
    html += StepsTable(steps);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const PlanStepRun& step = steps[i];
        html += "<section id=\"" + StepAnchor(i) + "\">\n<h1>" + HtmlEscape(StepHeading(step)) +
                "</h1>\n";
        html += "<p class=\"title\">" + HtmlEscape(RunTitle(step.data)) + "</p>\n";
        html += SignOffSection(step.data, title.empty() ? plan : title, createdAt);
        html += RunReportSections(step.data, step.charts, step.moreSections) + "</section>\n";
    }
    return html + "</body>\n</html>\n";
}

}  // namespace quarn::console::records
