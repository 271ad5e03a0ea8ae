#pragma once

#include <string>

#include "console/core/run_environment.h"
#include "console/net/discovery_options.h"

namespace quarn::console {

// The run environment of a real Console: this machine's processes and the local networks
// that discovery uses.
class NetworkRunEnvironment : public RunEnvironment {
  public:
    NetworkRunEnvironment(std::string iperfPath, DiscoveryOptions discovery);

    void EndLeftoverClients() override;
    void BroadcastRestart() override;
    std::optional<std::uint32_t> OwnAddress() override;
    std::string IperfPath() override { return iperfPath_; }

  private:
    std::string iperfPath_;
    DiscoveryOptions discovery_;
};

}  // namespace quarn::console
