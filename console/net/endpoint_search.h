#pragma once

#include <atomic>
#include <vector>

#include "console/core/endpoint_entry.h"
#include "console/net/discovery_options.h"

namespace quarn::console {

// Probes every broadcast target three times with "hello" and "facts" and collects the replies that
// arrive within the whole second of each probe. Blocks for about one second per probe;
// `cancel`, when given and set, ends the search within one reply timeout.
std::vector<EndPointEntry> SearchEndPoints(const DiscoveryOptions& options,
                                           const std::atomic<bool>* cancel = nullptr);

}  // namespace quarn::console
