#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/core/link_facts.h"
#include "console/core/rtt_statistics.h"

namespace quarn::console {

// What a measurement run needs from the machine and the network, apart from the pair
// sessions themselves. The network library implements it; tests use a fake.
class RunEnvironment {
  public:
    virtual ~RunEnvironment() = default;
    // Ends iperf clients that this Console started and that are still running.
    virtual void EndLeftoverClients() = 0;
    // Broadcasts "restart" so every EndPoint ends its iperf processes.
    virtual void BroadcastRestart() = 0;
    // This machine's primary IPv4 address (host byte order), if it has one.
    virtual std::optional<std::uint32_t> OwnAddress() = 0;
    // Whether `address` (dotted IPv4 text) is this machine's own: its pair's iperf client
    // then runs here rather than on End Point 1.
    virtual bool IsThisMachine(const std::string& address) = 0;
    // The iperf program this Console runs in local mode.
    virtual std::string IperfPath() = 0;
    // The link of this machine's interface towards `endpoint2`: a local pair's End Point 1
    // link, which no EndPoint reports. Nothing when unknown.
    virtual std::optional<LinkFacts> LinkTowards(const std::string& /*endpoint2*/) {
        return std::nullopt;
    }

    // Round trips to the runs' End Point 2 addresses: idle probes at once, loaded ones
    // from `loadStartsIn` on, until StopRttProbes. Without a prober there are no figures.
    virtual void StartRttProbes(const std::vector<std::string>& /*endpoints*/,
                                std::chrono::milliseconds /*loadStartsIn*/) {}
    virtual void StopRttProbes() {}
    // What was measured to an address of the last StartRttProbes; see RttRecord.
    virtual std::optional<RttRecord> RttOf(const std::string& /*endpoint*/,
                                           bool /*withLoadedSamples*/) {
        return std::nullopt;
    }
};

}  // namespace quarn::console
