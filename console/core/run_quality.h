#pragma once

#include <string>
#include <vector>

#include "console/core/pair_table.h"
#include "console/core/run_environment.h"

namespace quarn::console {

// The End Point 2 addresses of the active pairs, each once however many pairs share it.
std::vector<std::string> RttProbeTargets(const PairTable& table);

// Copies the round trips measured so far into the active pairs' figures. The median and
// percentile need every loaded sample, so only `complete` refreshes them.
void RefreshRttFigures(PairTable& table, RunEnvironment& environment, bool complete);

}  // namespace quarn::console
