#pragma once

// What a pair's traffic may ask of iperf 2: the Console refuses the rest when it is typed,
// and the EndPoint refuses it in a command. Header only, so that the Console's core, which
// links no OS layer, holds the very same bounds.
namespace quarn::protocol {

inline constexpr int kMaxDscp = 63;
// The TOS byte holding a DSCP; its low two bits are ECN, not the Console's.
inline constexpr int kMaxTosByte = kMaxDscp * 4;
// Shorter UDP datagrams leave no room for iperf's sequence header; longer ones exceed IPv4.
inline constexpr int kMinUdpLength = 20;
inline constexpr int kMaxUdpLength = 65507;
inline constexpr int kMaxTcpLength = 1048576;
inline constexpr int kMinMss = 536;
inline constexpr int kMaxMss = 9000;
// Above any link a pair runs over; a larger "-b" only floods the segment.
inline constexpr double kMaxUdpRateBitsPerSecond = 100e9;
// The Console runs at most 259200 seconds plus its 300-second margin; a pair has at most
// 16 streams.
inline constexpr int kMaxRunSeconds = 259500;
inline constexpr int kMaxParallelStreams = 16;

}  // namespace quarn::protocol
