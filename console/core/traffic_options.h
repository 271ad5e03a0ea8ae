#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/traffic_bounds.h"

namespace quarn::console {

enum class Protocol;

// What a pair's traffic carries beyond rate and window: a DSCP marking, the datagram (UDP)
// or write (TCP) size, and the TCP MSS. Unset options are never sent.
struct TrafficOptions {
    std::optional<int> dscp;    // 0..63
    std::optional<int> length;  // bytes
    std::optional<int> mss;     // bytes, TCP only

    bool Empty() const { return !dscp && !length && !mss; }
    bool operator==(const TrafficOptions&) const = default;
};

// The options an EndPoint announces it takes; an older EndPoint announces none.
enum class TrafficOption { Dscp, Length, Mss };
using TakenOptions = std::set<TrafficOption>;

// The EndPoint's bounds: what it would refuse is refused here already.
using protocol::kMaxDscp;
using protocol::kMaxMss;
using protocol::kMaxTcpLength;
using protocol::kMaxUdpLength;
using protocol::kMinMss;
using protocol::kMinUdpLength;
// iperf 2's server reads UDP datagrams of this size unless told a larger one.
inline constexpr int kServerUdpLength = 1470;

// "CS0".."CS7", "AF11".."AF43", "EF" in either case, or a number 0..63.
std::optional<int> ParseDscp(std::string_view text);
// The class name where the value has one ("EF", "AF41", "CS1"), the number otherwise.
std::string DscpText(int dscp);
// iperf's -S value: the TOS byte, DSCP x 4.
inline int TosByte(int dscp) {
    return dscp * 4;
}

// A whole number within [low, high]; nothing for anything else.
std::optional<int> ParseWholeIn(std::string_view text, int low, int high);

// Why the options do not suit the protocol (a length beyond its bounds); empty if they do.
std::string TrafficRefusal(const TrafficOptions& options, Protocol protocol);

// What each end must take for the options: End Point 1 runs the client with all of them
// (no MSS for UDP); End Point 2's server needs the length only for UDP datagrams longer than
// it reads by default. A client this Console runs itself asks End Point 1 for nothing.
std::vector<TrafficOption> NeededByEndPoint1(const TrafficOptions& options, Protocol protocol);
std::vector<TrafficOption> NeededByEndPoint2(const TrafficOptions& options, Protocol protocol);

// "DSCP marking", "a datagram or write size", "an MSS": what a refusal says is not taken.
std::string_view OptionName(TrafficOption option);

// "DSCP EF, length 200 bytes, MSS 1000 bytes", leaving out what is unset.
std::string DescribeTraffic(const TrafficOptions& options);

}  // namespace quarn::console
