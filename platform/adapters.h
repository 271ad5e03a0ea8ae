#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::platform {

// Addresses in host byte order; broadcast = (address & netmask) | ~netmask.
struct Adapter {
    std::string name;
    uint32_t address = 0;
    uint32_t netmask = 0;
    uint32_t broadcast = 0;
};

// Interface flags as InterfaceAddress carries them (the values of Linux's IFF_*).
inline constexpr unsigned kInterfaceUp = 0x1;
inline constexpr unsigned kInterfaceBroadcast = 0x2;
inline constexpr unsigned kInterfaceLoopback = 0x8;

// One IPv4 address of an interface as the system lists it.
struct InterfaceAddress {
    std::string name;
    unsigned flags = 0;
    uint32_t address = 0;
    uint32_t netmask = 0;
};

// Every IPv4 address of every interface, in the system's order.
std::vector<InterfaceAddress> ListInterfaceAddresses();

// The qualifying adapters among listed addresses (the rule of QualifyingAdapters).
std::vector<Adapter> SelectQualifying(const std::vector<InterfaceAddress>& addresses);

// Up, IPv4, broadcast-capable, not loopback, address not 0.0.0.0; the first address of
// each interface, in the system's order.
std::vector<Adapter> QualifyingAdapters();

// First IPv4 address of each named interface that is up; loopback allowed.
std::vector<Adapter> AdaptersNamed(const std::vector<std::string>& names);

// Address of the interface carrying the default route; without one, the first qualifying
// adapter's address; nullopt when there is none.
std::optional<uint32_t> PrimaryAddress();
// The same rule among listed addresses, given the default route's interface.
std::optional<uint32_t> PrimaryAddressAmong(const std::vector<InterfaceAddress>& listed,
                                            const std::optional<std::string>& defaultRoute);

// Name of the interface carrying the lowest-metric default route, as ListInterfaceAddresses
// names it; nullopt without one.
std::optional<std::string> DefaultRouteInterface();

// Interface of the lowest-metric default route in the text of /proc/net/route.
std::optional<std::string> DefaultRouteInterface(std::string_view procNetRoute);

}  // namespace quarn::platform
