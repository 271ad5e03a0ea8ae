#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
    // The iperf program this Console runs in local mode.
    virtual std::string IperfPath() = 0;
};

}  // namespace quarn::console
