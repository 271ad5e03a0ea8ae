#include "console/net/broadcast_targets.h"

#include <algorithm>

#include "platform/adapters.h"

namespace quarn::console {

namespace {

std::vector<uint32_t> BroadcastsOf(const std::vector<platform::Adapter>& adapters) {
    std::vector<uint32_t> targets;
    targets.reserve(adapters.size());
    for (const platform::Adapter& adapter : adapters) {
        targets.push_back(adapter.broadcast);
    }
    return targets;
}

}  // namespace

std::vector<uint32_t> BroadcastTargets(const DiscoveryOptions& options) {
    if (!options.destinations.empty() || !options.destinations6.empty()) {
        return options.destinations;
    }
    if (!options.interfaces.empty()) {
        return BroadcastsOf(platform::AdaptersNamed(options.interfaces));
    }
    std::vector<uint32_t> targets = BroadcastsOf(platform::QualifyingAdapters());
    if (targets.empty()) {
        targets.push_back(kLimitedBroadcast);
    }
    return targets;
}

std::vector<IpAddress> AllNodesOn(const std::vector<platform::Interface6Address>& qualifying,
                                  const std::vector<std::string>& named) {
    static const IpAddress::Bytes6 kAllNodes = *ParseIpv6("ff02::1");
    std::vector<IpAddress> targets;
    for (const platform::Interface6Address& adapter : qualifying) {
        const bool wanted =
            named.empty() || std::find(named.begin(), named.end(), adapter.name) != named.end();
        if (wanted)
            targets.push_back(IpAddress::V6(kAllNodes, adapter.name));
    }
    return targets;
}

std::vector<IpAddress> Multicast6Targets(const DiscoveryOptions& options) {
    if (!options.destinations.empty() || !options.destinations6.empty()) {
        return options.destinations6;
    }
    return AllNodesOn(platform::QualifyingAdapters6(), options.interfaces);
}

}  // namespace quarn::console
