#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "address/ip_address.h"
#include "console/core/link_facts.h"
#include "platform/adapters.h"
#include "platform/adapters6.h"

namespace quarn::console {

// The interface of `own` this machine reaches `target` (host byte order) through: the up
// interface whose subnet holds it, the narrowest first; else `defaultRoute` when that is
// up; nothing without either.
std::optional<std::string> InterfaceTowards(const std::vector<platform::InterfaceAddress>& own,
                                            uint32_t target,
                                            const std::optional<std::string>& defaultRoute);

// The IPv6 counterpart: the zone of a link-scoped target, else the up interface with an
// address in the target's /64 (IPv6 subnets on a LAN are /64).
std::optional<std::string> InterfaceTowards6(const std::vector<platform::Interface6Address>& own,
                                             const IpAddress& target);

// What the system reports of the link of interface `name`.
LinkFacts LinkFactsOf(const std::string& name);

// The link this machine reaches `address` (IPv4 or IPv6 text) through, as its own system
// reports it; nothing for a text that is no address or an address no interface reaches.
std::optional<LinkFacts> LinkTowards(const std::string& address);

}  // namespace quarn::console
