#include "console/plans/test_plan.h"

#include <fstream>
#include <sstream>

namespace quarn::console::plans {

Result<TestPlan> LoadPlan(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return WhyNot{"Cannot read the plan: " + path};
    std::ostringstream text;
    text << in.rdbuf();
    return ParsePlan(text.str(), path);
}

std::vector<PairSpec> StepPairs(const TestPlan& plan, const PlanStep& step) {
    std::vector<PairSpec> pairs = plan.pairs;
    if (step.streams) {
        for (PairSpec& pair : pairs)
            pair.streams = *step.streams;
    }
    // The plan's reader has checked that the reverses fit.
    if (step.bothWays && !AddReversePairs("Both ways", pairs))
        return plan.pairs;
    return pairs;
}

PassLines StepLines(const TestPlan& plan, const PlanStep& step) {
    return EffectiveLines(plan.pass, step.pass);
}

void ApplyStep(const TestPlan& plan, const PlanStep& step, ConsoleData& data) {
    MeasurementSettings settings;
    settings.protocol = step.protocol;
    settings.durationText = step.durationText.value_or(settings.durationText);
    settings.windowSizeText = step.windowText.value_or(settings.windowSizeText);
    settings.throughputText = step.throughputText.value_or(settings.throughputText);
    settings.passLines = StepLines(plan, step);
    data.settings = settings;
    data.table.RemoveAllPairs();
    data.chart.Reset();
    for (const PairSpec& spec : StepPairs(plan, step)) {
        PairConfig pair;
        pair.endpoint1 = spec.endpoint1;
        pair.endpoint2 = spec.endpoint2;
        pair.parallel = spec.streams;
        pair.traffic = step.traffic;
        data.table.AppendPair(std::move(pair));
    }
    data.chart.SetPairCount(data.table.PairCount());
}

std::string PlanHeading(const TestPlan& plan) {
    std::string heading = "Plan " + plan.name + ": " + std::to_string(plan.steps.size()) +
                          (plan.steps.size() == 1 ? " step" : " steps");
    if (plan.repeat > 1)
        heading += ", " + std::to_string(plan.repeat) + " times";
    if (plan.every.count() > 0)
        heading += " every " + IntervalText(plan.every);
    return heading;
}

std::string StepNotice(const TestPlan& plan, std::size_t index) {
    return "Step " + std::to_string(index + 1) + " of " + std::to_string(plan.steps.size()) + ": " +
           plan.steps[index].name;
}

bool UsesBaseline(const TestPlan& plan) {
    if (plan.pass.maxBaselineDropPercent)
        return true;
    for (const PlanStep& step : plan.steps) {
        if (step.pass.maxBaselineDropPercent)
            return true;
    }
    return false;
}

std::string IntervalText(std::chrono::seconds interval) {
    const long long s = interval.count();
    if (s > 0 && s % 3600 == 0)
        return std::to_string(s / 3600) + " h";
    if (s > 0 && s % 60 == 0)
        return std::to_string(s / 60) + " min";
    return std::to_string(s) + " s";
}

std::optional<std::chrono::seconds> ParseInterval(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 9)
        return std::nullopt;
    const long long count = std::stoll(text.substr(0, digits));
    std::string unit = text.substr(digits);
    if (!unit.empty() && unit.front() == ' ')
        unit.erase(0, 1);
    if (unit.empty() || unit == "s" || unit == "sec")
        return std::chrono::seconds(count);
    if (unit == "min" || unit == "m")
        return std::chrono::minutes(count);
    if (unit == "h")
        return std::chrono::hours(count);
    return std::nullopt;
}

}  // namespace quarn::console::plans
