#include "console/net/pair_command.h"

#include "address/ip_address.h"

namespace quarn::console {

protocol::ClientCommand ClientCommandFor(const PairJob& job) {
    protocol::ClientCommand command;
    command.peer = job.endpoint2;
    command.interval = job.interval;
    command.time = job.time;
    command.udp = job.udp;
    command.rate = job.rateText;
    command.parallel = job.parallel;
    const TrafficOptions& traffic = job.traffic;
    if (traffic.dscp)
        command.tos = std::to_string(TosByte(*traffic.dscp));
    if (traffic.length)
        command.length = std::to_string(*traffic.length);
    if (traffic.mss && !job.udp)
        command.mss = std::to_string(*traffic.mss);
    return command;
}

std::vector<std::string> LocalClientArgv(const PairJob& job, const std::string& iperfPath,
                                         int dataPort) {
    std::vector<std::string> argv = {iperfPath,    "-c", job.endpoint2, "-i",
                                     job.interval, "-t", job.time};
    if (job.udp) {
        argv.insert(argv.end(), {"-u", "-b", job.rateText});
    } else {
        if (!job.rateText.empty()) {
            argv.insert(argv.end(), {"-w", job.rateText});
        }
        if (job.parallel > 1) {
            argv.insert(argv.end(), {"-P", std::to_string(job.parallel)});
        }
    }
    const protocol::ClientCommand command = ClientCommandFor(job);
    for (const auto& [option, value] :
         {std::pair{"-S", command.tos}, std::pair{"-l", command.length},
          std::pair{"-M", command.mss}}) {
        if (!value.empty())
            argv.insert(argv.end(), {option, value});
    }
    argv.insert(argv.end(), {"-f", "m", "-p", std::to_string(dataPort)});
    // Said outright: not every iperf 2 build tells the family from the address.
    if (const auto target = ParseIpAddress(job.endpoint2); target && target->Unmapped().IsV6())
        argv.push_back("-V");
    return argv;
}

}  // namespace quarn::console
