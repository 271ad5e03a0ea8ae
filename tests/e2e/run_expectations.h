#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"

namespace quarn::e2e {

inline constexpr const char* kCompletedNotice = "The current measurement is completed.";
inline constexpr const char* kErrorNotice = "An error is occurred during measurement.";

// Ended by itself after `duration` seconds: exit 0, the notice, one progress line a second.
void ExpectCompletedRun(const ConsoleResult& run, int duration);

// A pair of a completed run: "Done", every second counted, positive figures in order.
std::optional<RowFigures> ExpectSensiblePair(const ConsoleResult& run, const std::string& pair,
                                             int duration);

// The All row: the samples of all pairs counted, current and average the pairs' sums.
void ExpectAllRowSums(const ConsoleResult& run, const std::vector<std::string>& pairs);

// Ended by a failure: exit 1, the error notice and the pair's row "Error".
std::optional<RowFigures> ExpectFailedRun(const ConsoleResult& run, const std::string& pair);

}  // namespace quarn::e2e
