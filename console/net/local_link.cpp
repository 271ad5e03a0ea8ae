#include "console/net/local_link.h"

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "platform/link_info.h"

namespace quarn::console {

std::optional<std::string> InterfaceTowards(const std::vector<platform::InterfaceAddress>& own,
                                            uint32_t target,
                                            const std::optional<std::string>& defaultRoute) {
    const platform::InterfaceAddress* best = nullptr;
    bool defaultRouteUp = false;
    for (const platform::InterfaceAddress& entry : own) {
        if ((entry.flags & platform::kInterfaceUp) == 0 || entry.address == 0)
            continue;
        defaultRouteUp = defaultRouteUp || (defaultRoute && entry.name == *defaultRoute);
        if ((entry.address & entry.netmask) != (target & entry.netmask))
            continue;
        // Contiguous masks: the larger one is the narrower subnet, as routing prefers it.
        if (best == nullptr || entry.netmask > best->netmask)
            best = &entry;
    }
    if (best != nullptr)
        return best->name;
    if (defaultRouteUp)
        return defaultRoute;
    return std::nullopt;
}

LinkFacts LinkFactsOf(const std::string& name) {
    const platform::LinkInfo info = platform::ReadLinkInfo(name);
    return LinkFacts{name, info.speedMbps, info.fullDuplex, info.mtu, info.wireless, {}};
}

std::optional<std::string> InterfaceTowards6(const std::vector<platform::Interface6Address>& own,
                                             const IpAddress& target) {
    if (!target.Zone().empty())
        return target.Zone();  // a link-local address names its interface itself
    for (const platform::Interface6Address& entry : own) {
        if ((entry.flags & platform::kInterfaceUp) != 0 && !entry.address.IsLinkLocal() &&
            SourceBlock(entry.address) == SourceBlock(target))
            return entry.name;
    }
    return std::nullopt;
}

std::optional<LinkFacts> LinkTowards(const std::string& address) {
    const std::optional<IpAddress> parsed = ParseIpAddress(address);
    if (parsed && parsed->Unmapped().IsV6()) {
        const std::optional<std::string> name =
            InterfaceTowards6(platform::ListInterface6Addresses(), *parsed);
        return name ? std::optional(LinkFactsOf(*name)) : std::nullopt;
    }
    const std::optional<uint32_t> target = ParseIpv4(address);
    if (!target)
        return std::nullopt;
    const std::optional<std::string> name = InterfaceTowards(
        platform::ListInterfaceAddresses(), *target, platform::DefaultRouteInterface());
    if (!name)
        return std::nullopt;
    return LinkFactsOf(*name);
}

}  // namespace quarn::console
