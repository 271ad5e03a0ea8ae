#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "console/core/link_facts.h"

namespace quarn::console {

// An address's link from a "facts" reply. Nothing for a datagram that is no such reply or
// names no dotted IPv4 address; figures that are no plausible number are left unknown.
struct AddressLink {
    std::string address;
    LinkFacts link;
};
std::optional<AddressLink> ParseLinkFactsReply(std::string_view datagram);

}  // namespace quarn::console
