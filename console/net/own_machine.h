#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarn::console {

// Marks the iperf clients this Console starts, so only those are ever ended.
inline constexpr std::string_view kIperfOwnerRole = "console";

// This machine's address (host byte order): the interface of the default route, which
// decides whether a pair's End Point 1 is this Console's own machine.
std::optional<uint32_t> OwnAddress();

// Ends the iperf clients this Console started and left running. Returns how many.
int EndLeftoverClients(const std::string& iperfPath);

}  // namespace quarn::console
