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
};

// " -c A -i 1 -t 310 -w 5.000000m -P 4 -f m" (UDP: " -u -b R", never -w or -P). No CR LF.
std::string BuildClientCommand(const ClientCommand& command);

// The wire form of a request line.
std::string WithCrLf(std::string_view line);

// What a server request needs from a client command.
struct CommandScan {
    std::string peer;
    std::string window;
    std::string bandwidth;
    bool udp = false;
};

// Splits at runs of spaces: "-c" peer, "-w" window, "-b" bandwidth, "-u" UDP.
CommandScan ScanCommand(std::string_view command);

// The server request line (CR LF included) for a scanned client command.
std::string ServerRequestFor(const CommandScan& scan);

}  // namespace quarn::protocol
