#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/ip_address.h"
#include "protocol/traffic_bounds.h"

namespace quarn::protocol {

// The agent hands network text to iperf, so only what the Console itself sends is accepted.

// The Console reports every second; the other bounds a command is held to are shared with
// the Console.
inline constexpr long kReportInterval = 1;

// The iperf argument tail (no program name) of a client command holding only -c <routable
// IPv4> (exactly once), -i 1, -t 1..259500, -P 1..16, -u, -b/-w <size>, -f m, -S <TOS
// byte, a multiple of 4>, -l <length for the protocol>, -M <MSS>, combined as the Console
// combines them (UDP: -b up to the rate bound, one stream, no -w, no -M; TCP: no -b);
// nullopt for anything else. Loopback and the EndPoint's own addresses are the agent's to
// refuse: only it knows them, and tests on one machine need loopback.
std::optional<std::vector<std::string>> ValidateClientCommand(std::string_view line);

// The argument tail of server options that are exactly one of the server request forms
// (with any valid size after -w, a UDP length after -l); nullopt otherwise.
std::optional<std::vector<std::string>> ValidateServerOptions(std::string_view options);

// Not 0/8 (unspecified), multicast, reserved or broadcast.
bool IsRoutableTarget(uint32_t address);
// An IPv6 target a command may name: no zone to give, so not link-local; not multicast,
// unspecified or an IPv4 address in disguise.
bool IsRoutableTarget6(const IpAddress& address);
bool IsLoopback(uint32_t address);

// The largest rate iperf may read from a size text (upper case as bytes, 1024-based);
// nullopt when the text is no size.
std::optional<double> LargestRateBitsPerSecond(std::string_view size);

// Digits, an optional '.' with digits, an optional k/m/g suffix in either case.
bool IsIperfSize(std::string_view text);

}  // namespace quarn::protocol
