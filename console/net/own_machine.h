#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/ip_address.h"
#include "platform/adapters6.h"

namespace quarn::console {

// Marks the iperf clients this Console starts, so only those are ever ended.
inline constexpr std::string_view kIperfOwnerRole = "console";

// This machine's address (host byte order): the interface of the default route, which
// decides whether a pair's End Point 1 is this Console's own machine.
std::optional<uint32_t> OwnAddress();

// Whether `address` is one of `own` on an interface that is up; a zone, when given, must
// name that interface. IPv6 has no primary address: any of this machine's counts.
bool IsOwnAddress6(const IpAddress& address, const std::vector<platform::Interface6Address>& own);

// Ends the iperf clients this Console started and left running. Returns how many.
int EndLeftoverClients(const std::string& iperfPath);

}  // namespace quarn::console
