#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quarn::protocol {

inline constexpr uint16_t kDiscoveryPort = 54321;
inline constexpr uint16_t kControlPort = 45000;
inline constexpr uint16_t kDefaultIperfPort = 5001;

inline constexpr std::string_view kProbe = "hello";
inline constexpr std::string_view kRestart = "restart";
inline constexpr std::string_view kServerConfig = "server_config";
// A probe reply whose control port field reads this carries a UTF-8 name.
inline constexpr std::string_view kUtf8DialectMark = "1555";

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kServerRequestUdp = "server_config -s -u -f m -i 1\r\n";
inline constexpr std::string_view kServerRequestTcp = "server_config -s -f m -i 1\r\n";
// Followed by the window text and CR LF.
inline constexpr std::string_view kServerRequestTcpWindowPrefix = "server_config -s -f m -i 1 -w ";

// Bytes of a request line before its CR LF; a longer line closes the connection.
inline constexpr size_t kMaxRequestLine = 4096;
// Largest datagram payload either side sends or reads.
inline constexpr size_t kMaxDatagram = 1499;
// Chunk sizes of the control connection.
inline constexpr size_t kRequestChunk = 1499;
inline constexpr size_t kReplyChunk = 511;
inline constexpr size_t kOutputChunk = 511;

enum class DatagramKind { Probe, Restart, Other };

// By case-sensitive prefix; longer datagrams count.
DatagramKind ClassifyDatagram(std::string_view datagram);

}  // namespace quarn::protocol
