#pragma once

#include <stop_token>
#include <vector>

#include "console/core/endpoint_entry.h"
#include "console/net/discovery_options.h"

namespace quarn::console {

// Probes every broadcast target three times with "hello" and "facts" and collects the replies that
// arrive within the whole second of each probe. Blocks for about one second per probe;
// a stop ends the search at once.
std::vector<EndPointEntry> SearchEndPoints(const DiscoveryOptions& options,
                                           const std::stop_token& stop = {});

}  // namespace quarn::console
