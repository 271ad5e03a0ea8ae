#include "protocol/client_command.h"

#include <charconv>
#include <vector>

#include "protocol/messages.h"
#include "protocol/tokens.h"

namespace quarn::protocol {

std::string BuildClientCommand(const ClientCommand& command) {
    std::string line = " -c " + command.peer + " -i " + command.interval + " -t " + command.time;
    if (command.udp) {
        line += " -u -b " + command.rate;
    } else {
        // An empty window would make iperf read the next option as its value.
        if (!command.rate.empty()) {
            line += " -w " + command.rate;
        }
        if (command.parallel > 1) {
            line += " -P " + std::to_string(command.parallel);
        }
    }
    if (!command.tos.empty()) {
        line += " -S " + command.tos;
    }
    if (!command.length.empty()) {
        line += " -l " + command.length;
    }
    if (!command.udp && !command.mss.empty()) {
        line += " -M " + command.mss;
    }
    line += " -f m";
    return line;
}

std::string WithCrLf(std::string_view line) {
    return std::string(line) + std::string(kCrLf);
}

CommandScan ScanCommand(std::string_view command) {
    CommandScan scan;
    const std::vector<std::string_view> tokens = SplitTokens(command);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view next = i + 1 < tokens.size() ? tokens[i + 1] : std::string_view();
        if (tokens[i] == "-c") {
            scan.peer = next;
        } else if (tokens[i] == "-w") {
            scan.window = next;
        } else if (tokens[i] == "-b") {
            scan.bandwidth = next;
        } else if (tokens[i] == "-l") {
            scan.length = next;
        } else if (tokens[i] == "-u") {
            scan.udp = true;
            continue;
        } else {
            continue;
        }
        ++i;  // the option's value
    }
    return scan;
}

std::string ServerRequestFor(const CommandScan& scan) {
    if (scan.udp) {
        long length = 0;
        const char* end = scan.length.data() + scan.length.size();
        const bool parsed = std::from_chars(scan.length.data(), end, length).ptr == end;
        if (!scan.length.empty() && parsed && length > kDefaultUdpLength) {
            std::string request(kServerRequestUdp.substr(0, kServerRequestUdp.size() - 2));
            return request + " -l " + scan.length + std::string(kCrLf);
        }
        return std::string(kServerRequestUdp);
    }
    if (scan.window.empty()) {
        return std::string(kServerRequestTcp);
    }
    return std::string(kServerRequestTcpWindowPrefix) + scan.window + std::string(kCrLf);
}

}  // namespace quarn::protocol
