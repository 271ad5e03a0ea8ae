#pragma once

#include <optional>
#include <string>

#include "console/core/pair_record.h"
#include "console/core/traffic_options.h"

namespace quarn::console {

// What an EndPoint says of its primary interface. Every figure may be missing: an older
// EndPoint reports nothing, a virtual interface may know no speed.
struct LinkFacts {
    std::string interfaceName;
    std::optional<int> speedMbps;
    std::optional<bool> fullDuplex;
    std::optional<int> mtu;
    bool wireless = false;
    TakenOptions takes;  // the traffic options its EndPoint announced
};

// iperf 2's UDP datagram when no length is given.
inline constexpr int kUdpDatagramBytes = 1470;

// What the slower end's link can carry as payload: TCP segments of MTU - 52 bytes (IP, TCP
// and timestamps) in frames of MTU + 38 bytes on the wire (Ethernet header, FCS, preamble
// and gap); UDP datagrams of `udpDatagramBytes`, fragmented where they exceed the MTU.
// Nothing when either end has no speed or no MTU.
std::optional<double> ExpectedGoodputMbps(const LinkFacts* end1, const LinkFacts* end2,
                                          Protocol protocol,
                                          int udpDatagramBytes = kUdpDatagramBytes);

// "10000 Mbit/s full duplex, MTU 1500", leaving out what is unknown; "wireless" added.
std::string DescribeLink(const LinkFacts& facts);
// The same after the interface's name: "eth0, 10000 Mbit/s full duplex, MTU 1500".
std::string DescribeNamedLink(const LinkFacts& facts);

}  // namespace quarn::console
