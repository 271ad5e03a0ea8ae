#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/net/discovery_options.h"
#include "platform/adapters6.h"

namespace quarn::console {

inline constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFFu;

// The addresses (host byte order) that probes and "restart" are sent to, in adapter order.
// Named interfaces never fall back to the limited broadcast: a search restricted to
// interfaces that are down reaches nobody rather than every network.
std::vector<uint32_t> BroadcastTargets(const DiscoveryOptions& options);

// The IPv6 counterpart: the all-nodes group ff02::1 on each qualifying interface (of those
// named, when some are), its zone the interface's name.
std::vector<IpAddress> Multicast6Targets(const DiscoveryOptions& options);
// The same from a given adapter list, for tests.
std::vector<IpAddress> AllNodesOn(const std::vector<platform::Interface6Address>& qualifying,
                                  const std::vector<std::string>& named);

}  // namespace quarn::console
