#pragma once

#include <string>
#include <string_view>

namespace quarn::protocol {

struct ClientCommand {
    std::string peer;  // End Point 2's dotted IPv4 address
    std::string interval = "1";
    std::string time;  // whole seconds
    bool udp = false;
    std::string rate;  // bandwidth (UDP) or window (TCP), iperf size text; may be empty for TCP
    int parallel = 1;
    // Empty: not sent, so an older EndPoint sees the command it always saw.
    std::string tos;     // "-S": the TOS byte, DSCP x 4, decimal
    std::string length;  // "-l": datagram (UDP) or write (TCP) size in bytes
    std::string mss;     // "-M": TCP only
};

// " -c A -i 1 -t 310 -w 5.000000m -P 4 -f m" (UDP: " -u -b R", never -w or -P), with
// " -S T -l L -M M" before " -f m" where set (never -M for UDP). No CR LF.
std::string BuildClientCommand(const ClientCommand& command);

// The wire form of a request line.
std::string WithCrLf(std::string_view line);

// What a server request needs from a client command.
struct CommandScan {
    std::string peer;
    std::string window;
    std::string bandwidth;
    std::string length;
    bool udp = false;
};

// iperf 2's UDP datagram when no "-l" is given; its server reads no longer ones whole.
inline constexpr long kDefaultUdpLength = 1470;

// Splits at runs of spaces: "-c" peer, "-w" window, "-b" bandwidth, "-l" length, "-u" UDP.
CommandScan ScanCommand(std::string_view command);

// The server request line (CR LF included) for a scanned client command. UDP datagrams
// longer than the default are announced with "-l", so the server does not cut them.
std::string ServerRequestFor(const CommandScan& scan);

}  // namespace quarn::protocol
