#include "platform/adapters.h"

#include <algorithm>

namespace quarn::platform {
namespace {

Adapter MakeAdapter(const InterfaceAddress& entry) {
    Adapter adapter;
    adapter.name = entry.name;
    adapter.address = entry.address;
    adapter.netmask = entry.netmask;
    adapter.broadcast = (entry.address & entry.netmask) | ~entry.netmask;
    return adapter;
}

bool Seen(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<Adapter> SelectQualifying(const std::vector<InterfaceAddress>& addresses) {
    std::vector<Adapter> adapters;
    std::vector<std::string> seen;  // only the first address of an interface counts
    for (const InterfaceAddress& entry : addresses) {
        if (Seen(seen, entry.name)) {
            continue;
        }
        seen.push_back(entry.name);
        if ((entry.flags & kInterfaceUp) && (entry.flags & kInterfaceBroadcast) &&
            !(entry.flags & kInterfaceLoopback) && entry.address != 0) {
            adapters.push_back(MakeAdapter(entry));
        }
    }
    return adapters;
}

std::vector<Adapter> QualifyingAdapters() {
    return SelectQualifying(ListInterfaceAddresses());
}

std::vector<Adapter> AdaptersNamed(const std::vector<std::string>& names) {
    std::vector<Adapter> adapters;
    const std::vector<InterfaceAddress> addresses = ListInterfaceAddresses();
    for (const std::string& name : names) {
        for (const InterfaceAddress& entry : addresses) {
            if ((entry.flags & kInterfaceUp) && entry.name == name) {
                adapters.push_back(MakeAdapter(entry));
                break;
            }
        }
    }
    return adapters;
}

std::optional<uint32_t> PrimaryAddressAmong(const std::vector<InterfaceAddress>& listed,
                                            const std::optional<std::string>& defaultRoute) {
    if (defaultRoute) {
        for (const InterfaceAddress& entry : listed) {
            if (entry.name == *defaultRoute) {
                return entry.address;
            }
        }
    }
    const std::vector<Adapter> adapters = SelectQualifying(listed);
    if (adapters.empty()) {
        return std::nullopt;
    }
    return adapters.front().address;
}

std::optional<uint32_t> PrimaryAddress() {
    return PrimaryAddressAmong(ListInterfaceAddresses(), DefaultRouteInterface());
}

}  // namespace quarn::platform
