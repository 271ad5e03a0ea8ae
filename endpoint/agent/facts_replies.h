#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "platform/adapters6.h"
#include "platform/link_info.h"

namespace quarn::agent {

using LinkReader = std::function<platform::LinkInfo(const std::string& interfaceName)>;

// The replies to a "facts" probe: one per address that "hello" announces, each with the
// link of the address's interface (name, speed, duplex, MTU, wireless), leaving out what
// the system does not know, and the traffic options this EndPoint takes.
std::vector<std::string> FactsReplies(const std::vector<platform::Adapter>& adapters,
                                      const LinkReader& readLink = platform::ReadLinkInfo);
// The same for a probe that came over IPv6: each interface's announced IPv6 address.
std::vector<std::string> FactsReplies6(const std::vector<platform::Interface6Address>& adapters,
                                       const LinkReader& readLink = platform::ReadLinkInfo);

}  // namespace quarn::agent
