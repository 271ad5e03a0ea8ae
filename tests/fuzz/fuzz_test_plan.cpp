// Any bytes as a plan file: read, or refused with the file and what was expected, never a
// crash; what it accepted is within what a run can do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "address/ip_address.h"
#include "console/core/pair_table.h"
#include "console/plans/test_plan.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

void CheckAccepted(const quarn::console::plans::TestPlan& plan) {
    using quarn::console::PairTable;
    FUZZ_CHECK(!plan.pairs.empty() && plan.pairs.size() <= PairTable::kMaxPairs);
    FUZZ_CHECK(!plan.steps.empty());
    FUZZ_CHECK(plan.repeat >= 1 && plan.repeat <= quarn::console::plans::kMaxRepeat);
    FUZZ_CHECK(plan.every <= quarn::console::plans::kMaxEvery);
    for (const auto& step : plan.steps) {
        const auto pairs = quarn::console::plans::StepPairs(plan, step);
        FUZZ_CHECK(pairs.size() <= PairTable::kMaxPairs);
        for (const quarn::console::PairSpec& pair : pairs) {
            // IPv4 or IPv6, as --pair takes them.
            FUZZ_CHECK(quarn::ParseIpAddress(pair.endpoint1).has_value());
            FUZZ_CHECK(quarn::ParseIpAddress(pair.endpoint2).has_value());
            FUZZ_CHECK(pair.streams >= 1 && pair.streams <= 16);
        }
        FUZZ_CHECK(TrafficRefusal(step.traffic, step.protocol).empty());
        FUZZ_CHECK(!step.traffic.dscp || *step.traffic.dscp <= quarn::console::kMaxDscp);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto plan = quarn::console::plans::ParsePlan(text, "plan.yaml");
    if (plan) {
        CheckAccepted(*plan);
    } else {
        FUZZ_CHECK(plan.Why().rfind("plan.yaml:", 0) == 0);
    }
    return 0;
}
