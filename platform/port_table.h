#pragma once

#include <cstdint>
#include <set>
#include <string_view>

namespace quarn::platform {

// Local TCP ports above `above` in any state except TIME_WAIT and CLOSE (tcp and tcp6).
std::set<uint16_t> BusyTcpPorts(uint16_t above);
// Local UDP ports above `above` (udp and udp6).
std::set<uint16_t> BusyUdpPorts(uint16_t above);

// Parsers of the text of /proc/net/tcp(6) and /proc/net/udp(6).
std::set<uint16_t> ParseProcNetTcp(std::string_view text, uint16_t above);
std::set<uint16_t> ParseProcNetUdp(std::string_view text, uint16_t above);

}  // namespace quarn::platform
