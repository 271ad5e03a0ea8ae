#pragma once

#include <cstdint>
#include <vector>

#include "address/ip_address.h"
#include "platform/adapters.h"
#include "platform/adapters6.h"

namespace quarn::agent {

// Whether a client run may send to target. Never to this host itself (any of its addresses,
// or the network and broadcast addresses of its subnets), which would have it flood
// itself or everyone at once; loopback only when allowed (tests on one machine).
bool TargetAllowed(uint32_t target, const std::vector<platform::InterfaceAddress>& own,
                   bool loopbackAllowed);
// The same for an IPv6 target: none of this host's own IPv6 addresses.
bool TargetAllowed6(const IpAddress& target, const std::vector<platform::Interface6Address>& own,
                    bool loopbackAllowed);

}  // namespace quarn::agent
