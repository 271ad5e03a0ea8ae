#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "console/core/link_facts.h"

namespace quarn::console {

// Asks each address's EndPoint, directly, what its link is ("facts" to `port`), for the
// pairs of a run that no search told about. Waits until every address answered or `wait`
// has passed: an older EndPoint never answers. Addresses that are this machine's own and
// got no answer get the link of their interface as this system reports it.
std::map<std::string, LinkFacts> AskLinkFacts(const std::vector<std::string>& addresses,
                                              uint16_t port, std::chrono::milliseconds wait);

}  // namespace quarn::console
