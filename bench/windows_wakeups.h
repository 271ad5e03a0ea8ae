#pragma once

#include <string>

namespace quarn::bench {

struct WakeGoals {
    double idle = 2;  // per second, for an idle EndPoint
    double role = 3;  // per second per pair role
};

// The cross-built Windows EndPoint under Wine, in network namespaces of its own: how often
// its threads wake idle, then per pair role in a run of UDP pairs with a Linux EndPoint.
// Prints beside the goals; says why and returns 0 when that build or Wine is missing.
// binDir holds the Linux programs. 1 when the run fails.
int MeasureWindowsEndPoint(const std::string& binDir, int seconds, const WakeGoals& goals);

}  // namespace quarn::bench
