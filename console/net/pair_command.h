#pragma once

#include <string>
#include <vector>

#include "console/core/pair_measurement.h"
#include "protocol/client_command.h"

namespace quarn::console {

// The iperf client command of a pair: End Point 2 as the peer, the pair's size text as
// window (TCP) or bandwidth (UDP), and the pair's traffic options.
protocol::ClientCommand ClientCommandFor(const PairJob& job);

// The argument vector of the iperf client this Console runs itself (local mode), aimed at
// the data port End Point 2's server listens on.
std::vector<std::string> LocalClientArgv(const PairJob& job, const std::string& iperfPath,
                                         int dataPort);

}  // namespace quarn::console
