#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/core/link_facts.h"
#include "platform/adapters.h"

namespace quarn::console {

// The interface of `own` this machine reaches `target` (host byte order) through: the up
// interface whose subnet holds it, the narrowest first; else `defaultRoute` when that is
// up; nothing without either.
std::optional<std::string> InterfaceTowards(const std::vector<platform::InterfaceAddress>& own,
                                            uint32_t target,
                                            const std::optional<std::string>& defaultRoute);

// What the system reports of the link of interface `name`.
LinkFacts LinkFactsOf(const std::string& name);

// The link this machine reaches `address` (dotted IPv4 text) through, as its own system
// reports it; nothing for a text that is no address or an address no interface reaches.
std::optional<LinkFacts> LinkTowards(const std::string& address);

}  // namespace quarn::console
