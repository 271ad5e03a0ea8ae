#pragma once

#include <map>
#include <memory>
#include <string>

#include "console/core/run_environment.h"
#include "console/net/discovery_options.h"
#include "console/net/rtt_prober.h"

namespace quarn::console {

// The run environment of a real Console: this machine's processes and the local networks
// that discovery uses.
class NetworkRunEnvironment : public RunEnvironment {
  public:
    NetworkRunEnvironment(std::string iperfPath, DiscoveryOptions discovery);

    void EndLeftoverClients() override;
    void BroadcastRestart() override;
    std::optional<std::uint32_t> OwnAddress() override;
    bool IsThisMachine(const std::string& address) override;
    std::optional<LinkFacts> LinkTowards(const std::string& endpoint2) override;
    std::string IperfPath() override { return iperfPath_; }
    // The key of the "restart" broadcasts from now on.
    void SetLabKey(std::optional<labkey::LabKey> key) { discovery_.labKey = std::move(key); }

    // Probes each address's discovery port (the discovery options' port).
    void StartRttProbes(const std::vector<std::string>& endpoints,
                        std::chrono::milliseconds loadStartsIn) override;
    void StopRttProbes() override;
    std::optional<RttRecord> RttOf(const std::string& endpoint, bool withLoadedSamples) override;

  private:
    std::string iperfPath_;
    DiscoveryOptions discovery_;
    std::unique_ptr<RttProber> prober_;
    std::map<std::string, IpAddress> probed_;  // endpoint text -> address
};

}  // namespace quarn::console
