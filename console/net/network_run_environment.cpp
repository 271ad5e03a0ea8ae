#include "console/net/network_run_environment.h"

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "console/net/local_link.h"
#include "console/net/own_machine.h"
#include "console/net/restart_broadcast.h"

namespace quarn::console {

NetworkRunEnvironment::NetworkRunEnvironment(std::string iperfPath, DiscoveryOptions discovery)
    : iperfPath_(std::move(iperfPath)), discovery_(std::move(discovery)) {}

void NetworkRunEnvironment::EndLeftoverClients() {
    console::EndLeftoverClients(iperfPath_);
}

void NetworkRunEnvironment::BroadcastRestart() {
    console::BroadcastRestart(discovery_);
}

std::optional<std::uint32_t> NetworkRunEnvironment::OwnAddress() {
    return console::OwnAddress();
}

bool NetworkRunEnvironment::IsThisMachine(const std::string& address) {
    const std::optional<IpAddress> parsed = ParseIpAddress(address);
    if (!parsed)
        return false;
    const IpAddress plain = parsed->Unmapped();
    // Loopback is this machine whatever the default route: an EndPoint refuses to aim a
    // client at it, so the Console runs that client itself.
    if (plain.IsLoopback())
        return true;
    if (plain.IsV6())
        return IsOwnAddress6(plain, platform::ListInterface6Addresses());
    const std::optional<std::uint32_t> own = OwnAddress();
    return own && *own == plain.V4Value();
}

std::optional<LinkFacts> NetworkRunEnvironment::LinkTowards(const std::string& endpoint2) {
    return console::LinkTowards(endpoint2);
}

void NetworkRunEnvironment::StartRttProbes(const std::vector<std::string>& endpoints,
                                           std::chrono::milliseconds loadStartsIn) {
    StopRttProbes();
    probed_.clear();
    std::vector<IpAddress> targets;
    for (const std::string& endpoint : endpoints) {
        // Only addresses: a text that is none has no figure.
        if (const auto address = ParseIpAddress(endpoint)) {
            probed_[endpoint] = address->Unmapped();
            targets.push_back(address->Unmapped());
        }
    }
    RttProber::Options options;
    options.port = discovery_.port;
    options.schedule.loadStartsIn = loadStartsIn;
    prober_ = std::make_unique<RttProber>(std::move(targets), options);
}

void NetworkRunEnvironment::StopRttProbes() {
    if (prober_) {
        prober_->Stop();
    }
}

std::optional<RttRecord> NetworkRunEnvironment::RttOf(const std::string& endpoint,
                                                      bool withLoadedSamples) {
    const auto found = probed_.find(endpoint);
    if (!prober_ || found == probed_.end()) {
        return std::nullopt;
    }
    return prober_->Record(found->second, withLoadedSamples);
}

}  // namespace quarn::console
