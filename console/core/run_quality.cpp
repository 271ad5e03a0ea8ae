#include "console/core/run_quality.h"

#include <algorithm>

namespace quarn::console {

std::vector<std::string> RttProbeTargets(const PairTable& table) {
    std::vector<std::string> targets;
    for (const PairRecord& pair : table.Pairs()) {
        if (pair.config.active &&
            std::find(targets.begin(), targets.end(), pair.config.endpoint2) == targets.end()) {
            targets.push_back(pair.config.endpoint2);
        }
    }
    return targets;
}

void RefreshRttFigures(PairTable& table, RunEnvironment& environment, bool complete) {
    for (PairRecord& pair : table.Pairs()) {
        if (!pair.config.active) {
            continue;
        }
        const std::optional<RttRecord> record = environment.RttOf(pair.config.endpoint2, complete);
        if (complete) {
            ApplyRtt(record, pair.figures.quality);
        } else {
            ApplyLatestRtt(record, pair.figures.quality);
        }
    }
}

}  // namespace quarn::console
