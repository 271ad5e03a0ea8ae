#include "console/net/broadcast_targets.h"

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
    if (!options.destinations.empty()) {
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

}  // namespace quarn::console
