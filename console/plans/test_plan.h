#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/outcome.h"
#include "console/core/pair_record.h"
#include "console/core/pair_text.h"
#include "console/core/pass_lines.h"
#include "console/core/traffic_options.h"

namespace quarn::console::plans {

// One run of a plan: what it changes from the defaults, and its own pass lines over the
// plan's.
struct PlanStep {
    std::string name;
    Protocol protocol = Protocol::Tcp;
    std::optional<int> streams;  // every pair's, over what its entry says
    std::optional<std::string> windowText;
    std::optional<std::string> throughputText;
    std::optional<std::string> durationText;
    TrafficOptions traffic;
    bool bothWays = false;
    std::optional<int> isolateSeconds;
    PassLines pass;
};

// A test plan as an engineer writes it: the pairs, the lines every step is held to, the
// steps, and how often the whole runs (24 times every hour for a soak).
struct TestPlan {
    std::string name;
    std::vector<PairSpec> pairs;
    PassLines pass;
    std::vector<PlanStep> steps;
    int repeat = 1;
    std::chrono::seconds every{0};
};

inline constexpr int kMaxRepeat = 10000;
inline constexpr int kMaxIsolateSeconds = 3600;
inline constexpr std::chrono::hours kMaxEvery{24 * 7};

// Reads a plan from YAML text. `file` names it in a refusal, which says the line and what
// was expected there: "floor.yaml:12: dscp expects CS0-CS7, AF11-AF43, EF or 0-63: XX".
Result<TestPlan> ParsePlan(const std::string& text, const std::string& file);
// The same from the file at `path`.
Result<TestPlan> LoadPlan(const std::string& path);

// The pairs of a step: the plan's, each with the step's streams, and their reverses when
// the step runs both ways.
std::vector<PairSpec> StepPairs(const TestPlan& plan, const PlanStep& step);
// The step's lines with each line it sets in place of the plan's.
PassLines StepLines(const TestPlan& plan, const PlanStep& step);

// Puts a step into the data as the run it is: the plan's pairs (their series go), the
// step's settings over the defaults, its lines and its traffic options on every pair.
void ApplyStep(const TestPlan& plan, const PlanStep& step, ConsoleData& data);
// "Plan NAME: 3 steps, 24 times every 1 h", as the front ends announce a plan.
std::string PlanHeading(const TestPlan& plan);
// "Step 2 of 4: NAME", as the front ends announce a step.
std::string StepNotice(const TestPlan& plan, std::size_t index);
// Whether a line of the plan or of a step holds pairs to a baseline run.
bool UsesBaseline(const TestPlan& plan);

// "90 s", "30 min", "1 h", or whole seconds alone; nothing for anything else.
std::optional<std::chrono::seconds> ParseInterval(const std::string& text);
// The interval back in the largest unit that divides it: "1 h", "15 min", "90 s".
std::string IntervalText(std::chrono::seconds interval);

}  // namespace quarn::console::plans
