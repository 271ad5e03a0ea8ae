#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/ip_address.h"

namespace quarn::protocol {

// The agent hands network text to iperf, so only what the Console itself sends is accepted.

// The largest values a client command may carry: the Console reports every second, runs at
// most 259200 seconds plus its 300-second margin and a pair has at most 16 streams.
inline constexpr long kReportInterval = 1;
inline constexpr long kMaxRunSeconds = 259500;
inline constexpr long kMaxParallelStreams = 16;
// Above any link a pair runs over; a larger "-b" only floods the segment.
inline constexpr double kMaxUdpRateBitsPerSecond = 100e9;
// The traffic options a pair may carry: a TOS byte holding a DSCP (its low two bits are
// ECN, not the Console's), the datagram or write size iperf 2 measures with (shorter UDP
// datagrams leave no room for its sequence header; longer ones exceed IPv4), the TCP MSS.
inline constexpr long kMaxTosByte = 252;
inline constexpr long kMinUdpLength = 20;
inline constexpr long kMaxUdpLength = 65507;
inline constexpr long kMaxTcpLength = 1048576;
inline constexpr long kMinMss = 536;
inline constexpr long kMaxMss = 9000;

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
