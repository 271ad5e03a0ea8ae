#include "protocol/client_command.h"

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
        return std::string(kServerRequestUdp);
    }
    if (scan.window.empty()) {
        return std::string(kServerRequestTcp);
    }
    return std::string(kServerRequestTcpWindowPrefix) + scan.window + std::string(kCrLf);
}

}  // namespace quarn::protocol
