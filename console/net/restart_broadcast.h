#pragma once

#include "console/net/discovery_options.h"

namespace quarn::console {

// Sends "restart" three times to every broadcast target (once more when the first send
// fails), so every EndPoint ends its iperf processes. Nothing is received.
void BroadcastRestart(const DiscoveryOptions& options);

}  // namespace quarn::console
