#pragma once

#include <cstdint>
#include <vector>

#include "console/net/discovery_options.h"

namespace quarn::console {

inline constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

// The addresses (host byte order) that probes and "restart" are sent to, in adapter order.
// Named interfaces never fall back to the limited broadcast: a search restricted to
// interfaces that are down reaches nobody rather than every network.
std::vector<uint32_t> BroadcastTargets(const DiscoveryOptions& options);

}  // namespace quarn::console
