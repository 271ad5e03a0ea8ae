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
